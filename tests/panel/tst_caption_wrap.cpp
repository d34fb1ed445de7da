// SPDX-License-Identifier: MIT
#include "caption_wrap.h"

#include <QtTest>

#include <string>
#include <vector>

using bexen::panel::fittedFontPixels;
using bexen::panel::wrapCaption;

// The label wrapping, measured as if in a fixed-pitch font one pixel a character, so that every
// width is a count of characters: a box of n characters is exactly n wide.
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
        const auto characters = [](std::string_view text) { return int(text.size()); };
        const std::vector<std::string> seen = wrapCaption(caption.toStdString(), characters, columns);
        QStringList shown;
        for (const std::string &line : seen)
            shown << QString::fromStdString(line);
        QCOMPARE(shown, lines);
    }

    // The form's 8.25-point font, whose glyphs stand `pixels` wide each, and `extra` more for
    // every pixel above its 11 pixels at 96 dots per inch (a font that grows faster than its size).
    void fittedFont_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("extra");
        QTest::addColumn<int>("pixels");
        QTest::newRow("96 dpi: the points' own size") << 96 << 0 << 11;
        QTest::newRow("144 dpi: 16.5 rounds up to 17, one too wide") << 144 << 0 << 16;
        QTest::newRow("192 dpi: exactly twice") << 192 << 0 << 22;
        QTest::newRow("144 dpi, a font that grows faster: shrunk to 13") << 144 << 1 << 13;
        QTest::newRow("never below the size at 96 dpi") << 144 << 100 << 11;
    }

    void fittedFont()
    {
        QFETCH(int, dpi);
        QFETCH(int, extra);
        QFETCH(int, pixels);
        const auto width = [extra](int size, std::string_view text) {
            return int(text.size()) * (size + extra * (size - 11));
        };
        QCOMPARE(fittedFontPixels(825, dpi, {"Port 150", " Updating every 100 milliseconds "}, width), pixels);
    }
};

QTEST_GUILESS_MAIN(TestCaptionWrap)
#include "tst_caption_wrap.moc"
