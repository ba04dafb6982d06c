// The ways a survey reaches the window besides its dialog: the command line, a drop
// from a file manager and the list of recent surveys, all through the one open sequence.

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "form_fixture.h"
#include "main/language.h"
#include "measurement/index_file.h"
#include "vari.h"

namespace {

// The start as a file manager's double click makes it: maximised, however wide the
// first record's summary line (a window wider than its screen is no longer maximised).
TEST_F(FormTest, OpensTheSurveyNamedOnTheCommandLine) {
  const std::string path = Survey("line.qmr", {.blocks = 3, .channels = 4, .half_period = 100, .period_count = 8});
  form_ = std::make_unique<TMainForm>();
  QObject::connect(form_.get(), &TMainForm::RecordShown, [this](int k) { shown_.push_back(k); });
  form_->ShowAtStart(QString::fromStdString(path));
  QApplication::processEvents();
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path));
  EXPECT_EQ(Text("Edit1"), "N=12   n=3");
  EXPECT_EQ(shown_, std::vector<int>{1});
  ASSERT_GT(Control<QLabel>("Panel2Caption")->sizeHint().width(), form_->screen()->availableGeometry().width());
  EXPECT_TRUE(form_->isMaximized());
  // A window manager gives a maximised window the screen's size; one with a larger
  // minimum it puts back to its normal size instead.
  const QSize screen = form_->screen()->availableGeometry().size();
  form_->resize(screen);
  EXPECT_EQ(form_->size(), screen);
  // Restored, it keeps room for the controls beside the designed panel.
  form_->showNormal();
  form_->resize(300, 200);
  EXPECT_GE(form_->width(), std::min(screen.width(), 1000));

  form_->OpenFromCommandLine(QString::fromStdString(dir_.File("absent.qmr")));
  EXPECT_EQ(messages_.Messages(), std::vector<std::string>{dir_.File("absent.qmr") + ": File not found"})
      << "shown in the error box";
  // The survey on show stays, under its name, and can still be walked through.
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path));
  EXPECT_EQ(Text("Edit1"), "N=12   n=3");
  TypeRecordNumber("3");
  EXPECT_EQ(shown_, (std::vector<int>{1, 3}));

  // Named as it stands in the current folder, the survey is shown by its full name.
  const QString folder = QDir::currentPath();
  QDir::setCurrent(QString::fromStdString(dir_.Path().string()));
  form_->OpenFromCommandLine("line.qmr");
  QDir::setCurrent(folder);
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path));
}

TEST_F(FormTest, OpensASurveyDroppedOnTheWindow) {
  const std::string path = Survey("dropped.qmr");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.File("notes.txt"))),
                QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(200, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form_.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(200, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form_.get(), &drop);
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path));
  EXPECT_EQ(shown_, std::vector<int>{1});

  QMimeData text;
  text.setUrls({QUrl::fromLocalFile("/tmp/notes.txt")});
  QDragEnterEvent refused(QPoint(200, 300), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  refused.setAccepted(false);
  QApplication::sendEvent(form_.get(), &refused);
  EXPECT_FALSE(refused.isAccepted()) << "only measurement files are taken";
}

TEST_F(FormTest, RecentSurveysSurviveARestart) {
  const std::string first = Survey("first.qmr"), second = Survey("second.qmr");
  Open(first);
  Open(second);
  Open(first);
  form_ = std::make_unique<TMainForm>();  // a new run of the program
  form_->show();
  QMenu* menu = Control<QToolButton>("RecentB")->menu();
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[0]->text(), QString::fromStdString(first)) << "the last one opened comes first";
  EXPECT_EQ(menu->actions()[1]->text(), QString::fromStdString(second));
  menu->actions()[1]->trigger();
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(second));
  EXPECT_TRUE(vari.FileLoaded);
  EXPECT_EQ(Control<QToolButton>("RecentB")->menu()->actions()[0]->text(), QString::fromStdString(second));

  // A survey deleted since is said to be missing and leaves the list.
  std::filesystem::remove(first);
  menu->actions()[1]->trigger();
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0], first + ": File not found\n" + first + " убран из списка недавних");
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text(), QString::fromStdString(second));
}

// A survey cut short inside a block, as a copy broken off, opens with its complete
// blocks and says so in the window's language.
TEST_F(FormTest, ASurveyCutShortOpensWhatIsCompleteAndSaysSo) {
  const std::string path = Survey("cut.qmr");  // 3 blocks of 4 channels
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 10);
  Open(path);
  EXPECT_EQ(messages_.Messages(),
            std::vector<std::string>{"Файл обрывается внутри блока 3.\n\rПолных блоков: 2, записей: 8"});
  EXPECT_EQ(Text("Edit1"), "N=8   n=2");
  EXPECT_EQ(RecordOnShow(), 1);
  EXPECT_FALSE(Control<Chart>("ChartVoltage")->SeriesAt(0).Points().empty()) << "record 1 is drawn";
  // Its table is short: the export's notice says why, long after the open's message.
  Control<QComboBox>("ExportFormatBox")->setCurrentText("csv");
  QTest::mouseClick(Control<QPushButton>("ExportB"), Qt::LeftButton);
  WaitForPass();
  const std::string table = std::filesystem::path(path).replace_extension(".csv").string();
  EXPECT_EQ(Text("NoticeLabel").toStdString(), "Записан " + table +
                                                   ": записей 8\nСъёмка неполна: Файл обрывается внутри блока 3.\n"
                                                   "Полных блоков: 2, записей: 8");
}

// A survey cut inside its first block has no record: it is not opened, and the survey on
// show stays with its name, record, curves and summary.
TEST_F(FormTest, ASurveyWithoutARecordLeavesTheOneOnShow) {
  const std::string path = Survey("s.qmr");
  Open(path);
  TypeRecordNumber("3");
  const QString summary = Text("Panel2Caption"), electrodes = Text("Label1"), counter = Text("Edit1");
  const size_t points = Control<Chart>("ChartVoltage")->SeriesAt(0).Points().size();
  const std::string cut = dir_.File("cut.qmr");
  std::filesystem::copy_file(path, cut);
  Truncate(cut, 8000);  // the header and a part of the first block
  Open(cut);
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0], cut +
                                         ": съёмка не открыта: в ней нет ни одной записи\n"
                                         "Файл обрывается внутри блока 1.\n\rПолных блоков: 0, записей: 0");
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path));
  EXPECT_EQ(Text("Edit1"), counter);
  EXPECT_EQ(Text("Label1"), electrodes);
  EXPECT_EQ(Text("Panel2Caption"), summary);
  EXPECT_EQ(Text("lNumber"), "3");
  EXPECT_EQ(Control<Chart>("ChartVoltage")->SeriesAt(0).Points().size(), points);
  TypeRecordNumber("5");
  EXPECT_EQ(shown_.back(), 5) << "the survey on show is still walked through";
}

// A file that is no survey is named for what it is, after its name, in the window's
// language, as the batch tool names it in its own; so are the core's other faults.
TEST_F(FormTest, AFileThatIsNoSurveyIsNamedInTheWindowsLanguage) {
  const std::string path = Survey("s.qmr");
  Open(path);
  const std::string junk = dir_.File("junk.qmr"), folder = dir_.File("folder.qmr");
  std::ofstream(junk) << "field notes, not a survey\n";
  std::filesystem::create_directory(folder);
  for (const std::string& file : {junk, folder, dir_.File("absent.qmr")}) Open(file);
  ASSERT_EQ(messages_.Messages().size(), 3u);
  const std::vector<QString> seen{
      QString::fromStdString(junk) +
          ": не съёмка: файл короче заголовка съёмки (26 байт, заголовок занимает 4120) (текстовый файл)",
      QString::fromStdString(folder) + ": это папка, а не съёмка",
      QString::fromStdString(dir_.File("absent.qmr")) + ": файл не найден"};
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_EQ(CoreErrorText(QString::fromStdString(messages_.Messages()[i])), seen[i]);
  EXPECT_EQ(messages_.Messages()[0],
            junk + ": not a survey: file shorter than its header (26 bytes, the header takes 4120) (a text file)")
      << "the batch tool's words";
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path));
  EXPECT_EQ(CoreErrorText("gate 30:10 ms is reversed: it ends before it starts"),
            "Окно 30:10 мс перевёрнуто: оно кончается раньше, чем начинается");
  EXPECT_EQ(CoreErrorText("Read beyond end of file"), "Файл кончился раньше, чем ожидалось: он обрезан или изменился");
  EXPECT_EQ(
      CoreErrorText("The ohm file gives the gates as a delay and widths: gates with gaps between them go only "
                    "to the decay table (csv)"),
      "Файл ohm задаёт окна задержкой и ширинами: окна с промежутками между ними идут только в таблицу спадов (csv)");
  EXPECT_EQ(CoreErrorText("x.qmr: no such thing"), "x.qmr: no such thing") << "an unknown text stays";
}

// The window in English, chosen before it is made; Russian stays the default.
TEST_F(FormTest, TheWindowSpeaksEnglishWhenAsked) {
  EXPECT_EQ(ChosenLanguage({"vostrel", "--lang", "en", "x.qmr"}), "en");
  EXPECT_EQ(ChosenLanguage({"vostrel"}), "");
  ASSERT_TRUE(UseLanguage("en"));
  form_ = std::make_unique<TMainForm>();
  EXPECT_EQ(Control<QPushButton>("OpenB")->text(), "Open file");
  EXPECT_EQ(Control<QPushButton>("CheckB")->text(), "Check file");
  EXPECT_EQ(Control<QCheckBox>("SignBox")->text(), "Flip dU");
  EXPECT_EQ(Text("Label2"), "t window (half-period)");
  EXPECT_EQ(CoreMessageText(IndexFullMessage), "Too much data.\n\rMaximum=10000");
  EXPECT_EQ(CoreMessageText(FileTooLargeMessage), "File too large.\n\rMaximum=2147483647");
  EXPECT_EQ(CoreMessageText(CutShortText(12, 11, 130)),
            "The file ends inside block 12.\n\rComplete blocks: 11, records: 130");
  EXPECT_EQ(CoreMessageText(NotABlockText(6, 2887942, 5, 40, 2887942)),
            "Block 6 (byte 2887942) is not a data block.\n\rBlocks read: 5, records: 40; bytes from this block to "
            "the end of the file: 2887942");
  EXPECT_EQ(CoreMessageText("Файл обрывается внутри блока 12."), "Файл обрывается внутри блока 12.")
      << "not the whole text";
  EXPECT_FALSE(UseLanguage("xx"));
  ASSERT_TRUE(UseLanguage("ru"));
  form_ = std::make_unique<TMainForm>();
  EXPECT_EQ(Control<QPushButton>("OpenB")->text(), "Открыть файл");
  // Qt's own buttons speak the window's language too.
  QDialogButtonBox buttons(QDialogButtonBox::Cancel);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Отмена");
}

}  // namespace
