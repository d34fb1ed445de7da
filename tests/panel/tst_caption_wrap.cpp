// SPDX-License-Identifier: MIT
#include "controls.h"

#include <QApplication>
#include <QFontDatabase>
#include <QtTest>

using bexen::panel::wrapCaption;

// The label wrapping, measured in a fixed-pitch font so that every width is a count of
// characters: a box of n characters is exactly n advances wide.
class TestCaptionWrap : public QObject {
    Q_OBJECT

private slots:
    void wrap_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("fits") << "V for car" << 9 << QStringList{"V for car"};
        QTest::newRow("empty") << "" << 5 << QStringList{""};
        QTest::newRow("one word per line") << "V for car" << 3 << QStringList{"V", "for", "car"};
        QTest::newRow("two words per line") << "aa bb cc dd" << 5 << QStringList{"aa bb", "cc dd"};
        QTest::newRow("word wider than the box") << "abcdefg hi" << 4 << QStringList{"abcdefg", "hi"};
        QTest::newRow("leading blank kept") << " ab" << 5 << QStringList{" ab"};
        QTest::newRow("trailing blank of the last line kept") << "ab " << 5 << QStringList{"ab "};
        QTest::newRow("blanks before a word break dropped") << "ab  cdef" << 5
                                                            << QStringList{"ab", "cdef"};
        // "ab" and three blanks fill the line; the fourth blank is the break; two carry over.
        QTest::newRow("blank run carried") << "ab      cd" << 5 << QStringList{"ab", "  cd"};
        // Eleven blanks: three end the first line, one breaks it, five fill the second, one
        // breaks that, and the last indents "c".
        QTest::newRow("blank run longer than a line")
            << "ab           c" << 5 << QStringList{"ab", "", " c"};
        QTest::newRow("indent too deep for the word") << "ab       abcd" << 5
                                                      << QStringList{"ab", "abcd"};
    }

    void wrap()
    {
        QFETCH(QString, caption);
        QFETCH(int, columns);
        QFETCH(QStringList, lines);
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(10);
        const QFontMetrics metrics(font);
        QVERIFY(metrics.horizontalAdvance(QStringLiteral("i")) == metrics.horizontalAdvance(QStringLiteral("W")));
        const int width = metrics.horizontalAdvance(QString(columns, QLatin1Char('x')));
        QCOMPARE(wrapCaption(caption, metrics, width), lines);
    }
};

QTEST_MAIN(TestCaptionWrap)
#include "tst_caption_wrap.moc"
