// The window's Print, Bell and Epson into the virtual printer: what reached the pseudo-terminal
// standing for the printer is fed to the printer model in-process, which files a picture and its
// text per receipt and logs every command.
#include "tests/app/ConsoleTestSupport.h"
#include "tests/support/PrintedReceipt.h"

#include "escpos/Printer.h"
#include "escpos/Profile.h"
#include "escpos/VirtualPrinter.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fstream>
#include <iterator>

namespace {

using consoletest::ConsoleTest;
using consoletest::PtyPrinter;
using consoletest::TempDir;
using receipt::Language;
using receipt::Path;
using testsupport::KoreanPrinted;

std::string FileText(const std::filesystem::path& File) {
    std::ifstream in(File, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The English receipt as it reads: its lines with the mode commands taken out.
std::vector<std::string> EnglishLines(Path On, const std::string& Stamp) {
    std::vector<std::string> lines = receipt::EnglishLines(On, Stamp);
    for (std::string& line : lines)
        for (auto at = line.find("\x1B!"); at != std::string::npos; at = line.find("\x1B!"))
            line.erase(at, 3);
    return lines;
}

// The text filed for one receipt: its lines, the trailer's four feeds, the cut.
std::string ReceiptText(const std::vector<std::string>& Lines) {
    std::string text;
    for (const std::string& line : Lines)
        text += line + "\n";
    return text + "\n\n\n\n[partial cut]\n";
}

class EndToEndTest : public ConsoleTest {
protected:
    std::unique_ptr<TfrmMain> ShownWindow() {
        auto window = NewWindow();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }
    static void Click(QPushButton* Button) { QTest::mouseClick(Button, Qt::LeftButton); }
    // How many bytes a Print sends on the path.
    static std::size_t PrintSize(Language Lang, Path On, const std::string& Stamp) {
        return receipt::DeviceBytes(On, receipt::PrintWrites(Lang, On, Stamp)).size();
    }

    // Feeds what the printer received to a fresh virtual printer; its pictures go to Out.
    std::vector<std::string> Print(const std::string& Bytes) {
        const auto profile = escpos::FindProfile(escpos::DefaultProfile);
        EXPECT_TRUE(profile);
        escpos::VirtualPrinter printer(*profile, FOut.Path().string(),
                                       [this](const std::string& Line) { FLog += Line + "\n"; });
        printer.Feed(Bytes);
        printer.Finish();
        return printer.Written();
    }
    // Where the printer put the receipt's emphasised and double-width glyphs.
    static const escpos::Item* LineReading(const escpos::Page& P, const std::string& Text) {
        for (const escpos::Item& item : P.Items)
            if (item.What == escpos::Item::Line && item.Text == Text)
                return &item;
        return nullptr;
    }

    TempDir FOut;
    std::string FLog;
};

TEST_F(EndToEndTest, PrintOnTheSerialPathFilesTheReceiptOfEachLanguage) {
    PtyPrinter com;
    Alias("com9", com.Slave());
    ListPorts({"COM9"});
    auto window = ShownWindow();

    Click(window->BBtnDisplay);
    const std::string english =
        com.WaitForBytes(PrintSize(Language::English, Path::Serial, window->Model().DateStamp));
    const auto pictures = Print(english);
    ASSERT_EQ(pictures.size(), 1u) << FLog;
    ASSERT_TRUE(std::filesystem::is_regular_file(pictures[0]));
    EXPECT_EQ(FileText(std::filesystem::path(pictures[0]).replace_extension(".txt")),
              ReceiptText(EnglishLines(Path::Serial, window->Model().DateStamp)));

    // Sizes and styles as the page was laid out.
    const auto profile = escpos::FindProfile(escpos::DefaultProfile);
    const escpos::Printer laidOut = escpos::PrintAll(english, *profile);
    ASSERT_FALSE(laidOut.Pages().empty());
    const escpos::Page& page = laidOut.Pages().front();
    const escpos::Item* tax = LineReading(page, "Tax excluded.                 $200.00 ");
    ASSERT_TRUE(tax);
    for (const escpos::Glyph& glyph : tax->Glyphs)
        EXPECT_TRUE(glyph.Emphasised && glyph.WidthMul == 1);
    const escpos::Item* total = LineReading(page, "Total       $210.00");
    ASSERT_TRUE(total);
    for (const escpos::Glyph& glyph : total->Glyphs)
        EXPECT_TRUE(glyph.WidthMul == 2 && glyph.HeightMul == 1 && !glyph.Emphasised);
    const escpos::Item* rule = LineReading(page, std::string(37, '-'));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->Glyphs.front().WidthMul, 1);
    const escpos::Item* payment = LineReading(page, "Customer's payment            $250.00");
    ASSERT_TRUE(payment);
    EXPECT_FALSE(payment->Glyphs.front().Emphasised || payment->Glyphs.front().WidthMul != 1);
    // Four feeds, then the partial cut, end the page.
    ASSERT_GE(page.Items.size(), 5u);
    EXPECT_TRUE(page.Cut);
    EXPECT_TRUE(page.Items.back().What == escpos::Item::Cut && page.Items.back().Partial);
    EXPECT_EQ(FLog.find("warning"), std::string::npos) << FLog;

    com.Clear();
    FLog.clear();
    window->CbPRNLang->setCurrentIndex(0);
    Click(window->BBtnDisplay);
    const auto korean = Print(
        com.WaitForBytes(PrintSize(Language::Korean, Path::Serial, window->Model().DateStamp)));
    ASSERT_EQ(korean.size(), 1u) << FLog;
    EXPECT_EQ(FileText(std::filesystem::path(korean[0]).replace_extension(".txt")),
              ReceiptText(KoreanPrinted(Path::Serial, window->Model().DateStamp)));
    EXPECT_EQ(FLog.find("warning"), std::string::npos) << FLog;
    EXPECT_TRUE(FBoxes.Texts().empty());
}

TEST_F(EndToEndTest, PrintOnTheParallelPathFilesTheParallelReceipt) {
    PtyPrinter lpt;
    Alias("lpt1", lpt.Slave());
    auto window = ShownWindow();
    QTest::mouseClick(window->RbPrnParallel, Qt::LeftButton);

    Click(window->BBtnDisplay);
    const auto english = Print(
        lpt.WaitForBytes(PrintSize(Language::English, Path::Parallel, window->Model().DateStamp)));
    ASSERT_GE(english.size(), 1u) << FLog;
    // The writer's extra line end prints one more empty line before the trailer.
    std::vector<std::string> lines = EnglishLines(Path::Parallel, window->Model().DateStamp);
    lines.push_back("");
    EXPECT_EQ(FileText(std::filesystem::path(english[0]).replace_extension(".txt")),
              ReceiptText(lines));

    lpt.Clear();
    window->CbPRNLang->setCurrentIndex(0);
    Click(window->BBtnDisplay);
    const auto korean = Print(
        lpt.WaitForBytes(PrintSize(Language::Korean, Path::Parallel, window->Model().DateStamp)));
    ASSERT_GE(korean.size(), 1u) << FLog;
    EXPECT_EQ(FileText(std::filesystem::path(korean.back()).replace_extension(".txt")),
              ReceiptText(KoreanPrinted(Path::Parallel, window->Model().DateStamp)));
}

TEST_F(EndToEndTest, BellAndEpsonPulseDrawerPinTwoOnBothPaths) {
    PtyPrinter com;
    PtyPrinter lpt;
    Alias("com9", com.Slave());
    Alias("lpt1", lpt.Slave());
    ListPorts({"COM9"});
    auto window = ShownWindow();

    Click(window->BtnBell);
    Click(window->BtnEpsonOpen);
    Print(com.WaitForBytes(10));
    QTest::mouseClick(window->RbPrnParallel, Qt::LeftButton);
    Click(window->BtnBell);
    Click(window->BtnEpsonOpen);
    Print(lpt.WaitForBytes(16));

    std::vector<std::string> pulses;
    std::istringstream log(FLog);
    for (std::string line; std::getline(log, line);)
        if (line.find("ESC p") != std::string::npos)
            pulses.push_back(line.substr(line.find("ESC p")));
    ASSERT_EQ(pulses.size(), 4u) << FLog;
    for (std::size_t i = 0; i < 4; ++i) {
        const char* expected = i % 2 == 0 ? "DRAWER pin 2: 510 ms on / 510 ms off"
                                          : "DRAWER pin 2: 96 ms on / 96 ms off";
        EXPECT_NE(pulses[i].find(expected), std::string::npos) << pulses[i];
    }
}

} // namespace
