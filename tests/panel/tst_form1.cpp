// SPDX-License-Identifier: MIT
#include "form1.h"
#include "form1_expected.h"
#include "panel_test_support.h"
#include "pictures/light_pictures.h"
#include "qt_description.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>

#include <memory>

using bexen::panel::Form1;
using bexen::poll::TextBox;
namespace expected = bexen::panel::expected;
namespace pictures = bexen::pictures;

namespace {

// Counts the repaints and tooltip changes a control receives.
class EventCounter final : public QObject {
public:
    int paints = 0;
    int tooltipChanges = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        else if (event->type() == QEvent::ToolTipChange)
            ++tooltipChanges;
        return false;
    }
};

QString qString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QImage asRgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivatePortDir> m_ports;

    // A window whose Timer1 stands still, so that each test decides when a tick happens.
    std::unique_ptr<Form1> stillForm()
    {
        auto form = std::make_unique<Form1>();
        form->timer1()->stop();
        return form;
    }

    QWidget *control(Form1 &form, const QString &name)
    {
        return form.findChild<QWidget *>(name);
    }

private slots:
    void initTestCase()
    {
        m_ports = std::make_unique<PrivatePortDir>();
        QVERIFY(m_ports->isValid());
    }

    void init() { m_ports->removePortFile(); }

    void window()
    {
        Form1 form;
        QCOMPARE(form.windowTitle(), qString(expected::kTitle));
        // No resizing.
        const QSize size(expected::kClientWidth, expected::kClientHeight);
        QCOMPARE(form.size(), size);
        QCOMPARE(form.minimumSize(), size);
        QCOMPARE(form.maximumSize(), size);
        QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 255, 192));
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(form.font().pixelSize(), 11);
    }

    void timer1RunsTheExchange()
    {
        Form1 form;
        QCOMPARE(form.timer1()->interval(), 100);
        QVERIFY(form.timer1()->isActive());
        QVERIFY(!form.timer1()->isSingleShot());
        QVERIFY2(QTest::qWaitFor([&] { return m_ports->peek(150) == 0; }, 10000),
                 "no tick wrote port 150");
        QCOMPARE(form.text(TextBox::Text1)->text(), QStringLiteral("0 0 0 0  0 0 0 0"));
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("expected");
        for (const expected::Control &c : expected::kControls)
            QTest::newRow(c.name.data()) << qString(c.name) << QRect(c.left, c.top, c.width, c.height);
    }

    void geometry()
    {
        QFETCH(QString, name);
        QFETCH(QRect, expected);
        auto form = stillForm();
        QWidget *widget = control(*form, name);
        QVERIFY2(widget, qPrintable(name + " is missing"));
        QCOMPARE(widget->geometry(), expected);
        QCOMPARE(widget->parentWidget(), form.get());
    }

    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        for (const expected::Control &c : expected::kControls) {
            if (!c.caption.empty())
                QTest::newRow(c.name.data()) << qString(c.name) << qString(c.caption);
        }
    }

    void captions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        auto form = stillForm();
        QWidget *widget = control(*form, name);
        QVERIFY2(widget, qPrintable(name + " is missing"));
        QCOMPARE(widget->property("text").toString(), caption);
    }

    void labelsWrapIntoTheirBoxes_data()
    {
        QTest::addColumn<int>("label");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("V for car") << 18 << QStringList{"V", "for", "car"};
        QTest::newRow("Port 150") << 19 << QStringList{"Port", "150"};
        QTest::newRow("Value for output") << 7 << QStringList{"Value for output"};
        QTest::newRow("Label20 on one line") << 20
                                             << QStringList{" Updating every 100 milliseconds "};
    }

    void labelsWrapIntoTheirBoxes()
    {
        QFETCH(int, label);
        QFETCH(QStringList, lines);
        auto form = stillForm();
        QCOMPARE(form->label(label)->shownLines(), lines);
    }

    void label5ReadsAsADiagram()
    {
        auto form = stillForm();
        const auto *label = form->label(5);
        const QStringList lines = label->shownLines();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("Input from port 150"));
        QVERIFY2(lines[1].startsWith(QStringLiteral("0000 x x x x")), qPrintable(lines[1]));
        // The bars and the light numbers are indented under the four sensor bits, not flush left.
        QVERIFY2(lines[2].trimmed() == QStringLiteral("|  |  |  |") && lines[2].startsWith(' '),
                 qPrintable(lines[2]));
        QVERIFY2(lines[3].trimmed() == QStringLiteral("4 3 2 1") && lines[3].startsWith(' '),
                 qPrintable(lines[3]));
        const QFontMetrics metrics = label->fontMetrics();
        QVERIFY(4 * metrics.lineSpacing() <= label->height());
        // The first bar stands within the span of the four x marks.
        const int firstX = metrics.horizontalAdvance(QStringLiteral("0000 "));
        const int lastX = metrics.horizontalAdvance(QStringLiteral("0000 x x x x"));
        const int firstBar = metrics.horizontalAdvance(lines[2].left(lines[2].indexOf('|')));
        QVERIFY2(firstBar >= firstX - 3 && firstBar < lastX,
                 qPrintable(QStringLiteral("bar at %1, x marks %2 to %3").arg(firstBar).arg(firstX).arg(lastX)));
    }

    void fonts()
    {
        auto form = stillForm();
        for (int n : {1, 2, 3, 4}) {
            QVERIFY(form->label(n)->font().bold());
            QCOMPARE(form->label(n)->font().pixelSize(), 16);
        }
        for (int n : {7, 8, 9})
            QVERIFY2(form->label(n)->font().underline(), qPrintable(QString::number(n)));
        for (int n : {5, 6, 10, 17, 20}) {
            QVERIFY(!form->label(n)->font().underline());
            QVERIFY(!form->label(n)->font().bold());
            QCOMPARE(form->label(n)->font().pixelSize(), 11);
        }
        // "MS Sans Serif" is not on Linux: a metric-compatible sans serif stands in.
        const QString shown = QFontInfo(form->font()).family();
        if (QFontDatabase::hasFamily(QStringLiteral("Microsoft Sans Serif")))
            QCOMPARE(shown, QStringLiteral("Microsoft Sans Serif"));
        else if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
            QCOMPARE(shown, QStringLiteral("Liberation Sans"));
    }

    void colours_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<QColor>("expected");
        const QColor lightGreen(128, 255, 128);
        const QColor lightYellow(255, 255, 192);
        const QColor red(255, 0, 0);
        QTest::newRow("Text2 back") << "Text2" << int(QPalette::Base) << lightGreen;
        QTest::newRow("Text1 text") << "Text1" << int(QPalette::Text) << red;
        QTest::newRow("Text1 back") << "Text1" << int(QPalette::Base)
                                    << QApplication::palette().color(QPalette::Base);
        QTest::newRow("Check1[0] back") << "Check1[0]" << int(QPalette::Window) << red;
        QTest::newRow("Check2 back") << "Check2" << int(QPalette::Window)
                                     << QApplication::palette().color(QPalette::Button);
        QTest::newRow("Picture1[0] back") << "Picture1[0]" << int(QPalette::Window) << lightYellow;
        QTest::newRow("Picture3 back") << "Picture3" << int(QPalette::Window) << lightGreen;
        QTest::newRow("Label1 back") << "Label1" << int(QPalette::Window) << lightGreen;
        QTest::newRow("Label19 back") << "Label19" << int(QPalette::Window) << lightYellow;
        QTest::newRow("Label8 back") << "Label8" << int(QPalette::Window)
                                     << QApplication::palette().color(QPalette::Button);
        QTest::newRow("Label20 back") << "Label20" << int(QPalette::Window)
                                      << QApplication::palette().color(QPalette::Base);
    }

    void colours()
    {
        QFETCH(QString, name);
        QFETCH(int, role);
        QFETCH(QColor, expected);
        auto form = stillForm();
        QWidget *widget = control(*form, name);
        QVERIFY(widget);
        QCOMPARE(widget->palette().color(QPalette::Active, QPalette::ColorRole(role)), expected);
        // What is drawn, not just what is set: the middle of a label or box shows its back colour.
        if (role == QPalette::Window && name.startsWith(QLatin1String("Check"))) {
            const QImage shot = widget->grab().toImage();
            QCOMPARE(shot.pixelColor(4, 0), expected);
        }
    }

    void initialContents()
    {
        auto form = stillForm();
        QCOMPARE(form->text(TextBox::Text1)->text(), QStringLiteral("Port 150 to prog"));
        for (TextBox box : {TextBox::Text2, TextBox::Text3, TextBox::Text4, TextBox::Text5})
            QVERIFY(form->text(box)->text().isEmpty());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form->check1(i)->checkState(), Qt::Unchecked);
            // White lamps until the first tick: not any legend picture.
            QCOMPARE(asRgb32(form->image18(i)->grab().toImage()),
                     asRgb32(bexen::panel::toQImage(pictures::blankLightPicture())));
        }
        QCOMPARE(form->check2()->checkState(), Qt::Unchecked);
        for (int v = 0; v < 5; ++v)
            QCOMPARE(asRgb32(form->image11(v)->grab().toImage()), asRgb32(bexen::panel::toQImage(pictures::lightPicture(v))));
    }

    void tabOrder()
    {
        Form1 form;
        form.timer1()->stop();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const QStringList expected{"Picture1[0]", "Picture1[1]", "Picture1[2]", "Picture1[3]",
                                   "Picture2",    "Picture3",    "Picture4",    "Check1[0]",
                                   "Check1[1]",   "Check1[2]",   "Check1[3]",   "Check2",
                                   "Text1",       "Text2",       "Text3",       "Text4",
                                   "Text5",       "Picture1[0]"};
        control(form, expected.first())->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.first());
        for (qsizetype i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), expected[i]);
        }
        for (int n = 1; n <= 20; ++n)
            QCOMPARE(form.label(n)->focusPolicy(), Qt::NoFocus);
    }

    void tickShowsThePorts_data()
    {
        QTest::addColumn<QList<int>>("bytes"); // ports 160, 161, 162, 163; -1: no port file
        QTest::addColumn<QStringList>("texts"); // Text4, Text3, Text2, Text5
        QTest::addColumn<QList<int>>("pictures"); // Image18[0], [1], [2], [3]

        QTest::newRow("no port file") << QList<int>{-1} << QStringList{"0", "0", "0", "0"}
                                      << QList<int>{0, 0, 0, 0};
        QTest::newRow("one value each") << QList<int>{1, 2, 3, 4} << QStringList{"1", "2", "3", "4"}
                                        << QList<int>{4, 1, 2, 3};
        QTest::newRow("light 4 on Image18[0]") << QList<int>{0, 0, 0, 4}
                                               << QStringList{"0", "0", "0", "4"}
                                               << QList<int>{4, 0, 0, 0};
        QTest::newRow("200 shown as value 0") << QList<int>{200, 2, 5, 255}
                                              << QStringList{"200", "2", "5", "255"}
                                              << QList<int>{0, 0, 2, 0};
    }

    void tickShowsThePorts()
    {
        QFETCH(QList<int>, bytes);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, pictures);
        if (bytes.first() >= 0) {
            for (int i = 0; i < 4; ++i)
                QVERIFY(m_ports->poke(160 + i, bytes[i]));
        }
        auto form = stillForm();
        form->timer1Tick();

        QCOMPARE(form->text(TextBox::Text4)->text(), texts[0]);
        QCOMPARE(form->text(TextBox::Text3)->text(), texts[1]);
        QCOMPARE(form->text(TextBox::Text2)->text(), texts[2]);
        QCOMPARE(form->text(TextBox::Text5)->text(), texts[3]);
        for (int i = 0; i < 4; ++i) {
            const int value = pictures[i];
            // What the state image shows is exactly the legend picture of its value.
            const QImage shown = asRgb32(form->image18(i)->grab().toImage());
            QVERIFY2(shown == asRgb32(bexen::panel::toQImage(pictures::lightPicture(value))),
                     qPrintable(QStringLiteral("Image18[%1] is not the picture of %2").arg(i).arg(value)));
            QCOMPARE(shown, asRgb32(form->image11(value)->grab().toImage()));
        }
        QCOMPARE(m_ports->peek(150), 0);
    }

    void tickSendsTheSensors_data()
    {
        QTest::addColumn<QList<int>>("states"); // Check1[0..3], then Check2 (Qt::CheckState)
        QTest::addColumn<QString>("text1");
        QTest::addColumn<int>("port150");

        const int off = Qt::Unchecked;
        const int on = Qt::Checked;
        const int grey = Qt::PartiallyChecked;
        QTest::newRow("none") << QList<int>{off, off, off, off, off} << "0 0 0 0  0 0 0 0" << 0;
        QTest::newRow("all") << QList<int>{on, on, on, on, off} << "0 0 0 0  1 1 1 1" << 15;
        QTest::newRow("light 1") << QList<int>{on, off, off, off, off} << "0 0 0 0  0 0 0 1" << 1;
        QTest::newRow("light 4 only") << QList<int>{off, off, off, on, off} << "0 0 0 0  1 0 0 0" << 8;
        QTest::newRow("greyed counts") << QList<int>{off, grey, off, off, off} << "0 0 0 0  0 0 1 0"
                                       << 2;
        QTest::newRow("Check2 ignored") << QList<int>{off, off, off, off, on} << "0 0 0 0  0 0 0 0"
                                        << 0;
        QTest::newRow("Check2 ignored with others") << QList<int>{off, on, off, off, on}
                                                    << "0 0 0 0  0 0 1 0" << 2;
    }

    void tickSendsTheSensors()
    {
        QFETCH(QList<int>, states);
        QFETCH(QString, text1);
        QFETCH(int, port150);
        QVERIFY(m_ports->poke(150, 0xAA));
        auto form = stillForm();
        for (int i = 0; i < 4; ++i)
            form->check1(i)->setCheckState(Qt::CheckState(states[i]));
        form->check2()->setCheckState(Qt::CheckState(states[4]));
        form->timer1Tick();
        QCOMPARE(form->text(TextBox::Text1)->text(), text1);
        QCOMPARE(m_ports->peek(150), port150);
    }

    void clickTicksASensor()
    {
        auto form = stillForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTest::mouseClick(form->check1(2), Qt::LeftButton, {}, QPoint(4, 6));
        QCOMPARE(form->check1(2)->checkState(), Qt::Checked);
        form->timer1Tick();
        QCOMPARE(m_ports->peek(150), 4);
        QTest::mouseClick(form->check1(2), Qt::LeftButton, {}, QPoint(4, 6));
        form->timer1Tick();
        QCOMPARE(m_ports->peek(150), 0);
    }

    // However a sensor box comes to change, the tick sends what it now holds.
    void everyWayOfChangingASensorReachesTheTick_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<int>("port150");
        QTest::newRow("setChecked") << 0 << 2;
        QTest::newRow("space key") << 1 << 2;
        QTest::newRow("greyed, then cleared") << 2 << 0;
        QTest::newRow("toggled twice") << 3 << 0;
        QTest::newRow("accessible toggle") << 4 << 2;
    }

    void everyWayOfChangingASensorReachesTheTick()
    {
        QFETCH(int, way);
        QFETCH(int, port150);
        auto form = stillForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCheckBox *box = form->check1(1);
        switch (way) {
        case 0:
            box->setChecked(true);
            break;
        case 1:
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
            break;
        case 2:
            box->setCheckState(Qt::PartiallyChecked);
            form->timer1Tick();
            QCOMPARE(m_ports->peek(150), 2);
            box->setChecked(false);
            break;
        case 3:
            box->toggle();
            form->timer1Tick();
            QCOMPARE(m_ports->peek(150), 2);
            box->toggle();
            break;
        case 4: {
            QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(box);
            QVERIFY(spoken && spoken->actionInterface());
            spoken->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            break;
        }
        }
        form->timer1Tick();
        QCOMPARE(m_ports->peek(150), port150);
    }

    void typedValueReplacedAtTheNextTick()
    {
        QVERIFY(m_ports->poke(160, 3));
        auto form = stillForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->timer1Tick();
        QLineEdit *text4 = form->text(TextBox::Text4);
        text4->setFocus();
        QTest::keyClicks(text4, QStringLiteral("99"));
        QCOMPARE(text4->text(), QStringLiteral("399"));
        QTest::keyClicks(form->text(TextBox::Text1), QStringLiteral("x"));
        form->timer1Tick();
        QCOMPARE(text4->text(), QStringLiteral("3"));
        QCOMPARE(form->text(TextBox::Text1)->text(), QStringLiteral("0 0 0 0  0 0 0 0"));

        // Text set by anything other than the tick, an accessibility tool say, is replaced too.
        form->text(TextBox::Text2)->setText(QStringLiteral("set elsewhere"));
        text4->setText(QStringLiteral("7"));
        form->timer1Tick();
        QCOMPARE(form->text(TextBox::Text2)->text(), QStringLiteral("0"));
        QCOMPARE(text4->text(), QStringLiteral("3"));
    }

    void accessibleWords_data()
    {
        QTest::addColumn<QList<int>>("bytes"); // ports 160 to 163
        QTest::addColumn<QStringList>("names"); // Image18[0] to [3]
        QTest::newRow("values")
            << QList<int>{2, 1, 4, 3}
            << QStringList{"Light 4, port 163: yellow", "Light 1, port 160: red and yellow",
                           "Light 2, port 161: red", "Light 3, port 162: green"};
        QTest::newRow("all dark") << QList<int>{0, 0, 0, 0}
                                  << QStringList{"Light 4, port 163: dark", "Light 1, port 160: dark",
                                                 "Light 2, port 161: dark", "Light 3, port 162: dark"};
        QTest::newRow("out of range is dark")
            << QList<int>{200, 0, 0, 0}
            << QStringList{"Light 4, port 163: dark", "Light 1, port 160: dark",
                           "Light 2, port 161: dark", "Light 3, port 162: dark"};
    }

    void accessibleWords()
    {
        QFETCH(QList<int>, bytes);
        QFETCH(QStringList, names);
        auto form = stillForm();
        const QStringList before{"Light 4, port 163: not read yet", "Light 1, port 160: not read yet",
                                 "Light 2, port 161: not read yet", "Light 3, port 162: not read yet"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form->image18(i)->accessibleName(), before[i]);
            QCOMPARE(form->image18(i)->toolTip(), before[i]);
            QCOMPARE(form->check1(i)->accessibleName(),
                     QStringLiteral("Car waiting at light %1").arg(i + 1));
        }
        QCOMPARE(form->text(TextBox::Text4)->accessibleName(),
                 QStringLiteral("Value read from port 160, light 1"));
        for (int i = 0; i < 4; ++i)
            QVERIFY(m_ports->poke(160 + i, bytes[i]));
        form->timer1Tick();
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form->image18(i)->accessibleName(), names[i]);
            QCOMPARE(form->image18(i)->toolTip(), names[i]);
        }
    }

    void unchangedTickChangesNothing()
    {
        QVERIFY(m_ports->poke(161, 2));
        QVERIFY(m_ports->poke(163, 4));
        auto form = stillForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->timer1Tick();
        QCoreApplication::processEvents();

        std::vector<std::unique_ptr<EventCounter>> counters;
        // Image18[0] first, for the change below; then every other control and the window itself.
        // Text4 among them: its blanking within the tick must not reach the screen.
        QList<QWidget *> watched{form->image18(0)};
        for (QWidget *child : form->findChildren<QWidget *>()) {
            if (child != form->image18(0))
                watched << child;
        }
        watched << form.get();
        for (QWidget *widget : watched) {
            counters.push_back(std::make_unique<EventCounter>());
            widget->installEventFilter(counters.back().get());
        }
        QSignalSpy text1Changes(form->text(TextBox::Text1), &QLineEdit::textChanged);
        QSignalSpy text4Changes(form->text(TextBox::Text4), &QLineEdit::textChanged);

        form->timer1Tick();
        QCoreApplication::processEvents();
        for (qsizetype i = 0; i < watched.size(); ++i) {
            QVERIFY2(counters[i]->paints == 0, qPrintable(watched[i]->objectName() + " repainted"));
            QVERIFY2(counters[i]->tooltipChanges == 0,
                     qPrintable(watched[i]->objectName() + " changed its tooltip"));
        }
        QCOMPARE(text1Changes.count(), 0);
        QCOMPARE(text4Changes.count(), 0);
        QCOMPARE(form->text(TextBox::Text4)->text(), QStringLiteral("0"));

        // A real change still shows.
        QVERIFY(m_ports->poke(163, 1));
        form->timer1Tick();
        QCoreApplication::processEvents();
        QCOMPARE(counters[0]->tooltipChanges, 1);
        QVERIFY(QTest::qWaitFor([&] { return counters[0]->paints > 0; }, 5000));
        for (qsizetype i = 0; i < watched.size(); ++i)
            watched[i]->removeEventFilter(counters[i].get());
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
