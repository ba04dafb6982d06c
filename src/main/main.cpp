// The program's start: its own options, read before anything of Qt; the application,
// the error box, and the window, opened maximised.

#include <CLI/CLI.hpp>
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "main/language.h"
#include "main/main_form.h"
#include "main/message_box.h"

namespace {

struct Options {
  std::string language;  // empty: the setting's
  std::string file;      // a survey or a line to open at start
};

// 0 to go on, or the exit code once help, the version or a mistake is printed.
int ReadOptions(int argc, char** argv, Options& options) {
  CLI::App app("the window of vostrel: surveys of a four-electrode instrument, their records, checks and lines",
               "vostrel");
  app.set_help_flag("-h,--help", "this help");
  app.set_version_flag("--version", std::string("vostrel ") + VOSTREL_VERSION, "the version");
  app.add_option("--lang", options.language, "the window's language: ru (the default) or en; also the setting language")
      ->type_name("ru|en")
      ->check(CLI::IsMember({"ru", "en"}).description(""));
  app.add_option("FILE", options.file, "a survey (.qmr) or a line's project (.vln) to open at start")->type_name("");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return -1;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return -1;
  } catch (const CLI::ParseError& error) {
    std::fprintf(stderr, "vostrel: %s\nRun 'vostrel --help' for its options.\n", error.what());
    return 2;
  }
  return 0;
}

// What Qt says while it looks for a display; told only when it finds none.
std::string& DisplayNote() {
  static std::string note;
  return note;
}

// Qt aborts the program when it finds no display; the user is told why instead, and the
// program exits 1.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtFatalMsg) {
    if (DisplayNote().empty()) DisplayNote() = text.toStdString();
    return;
  }
  const bool unset = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
  const std::string why = unset ? "neither DISPLAY nor WAYLAND_DISPLAY is set" : DisplayNote();
  std::fprintf(stderr,
               "vostrel: the window needs a display, and none could be opened (%s); vostrel-batch works "
               "without one\n",
               why.empty() ? text.toLocal8Bit().constData() : why.c_str());
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int done = ReadOptions(argc, argv, options)) return done < 0 ? 0 : done;
  // Qt sees no option of ours; its own are read from its environment variables.
  static int qt_argc = 1;
  const QtMessageHandler previous = qInstallMessageHandler(NoDisplayHandler);
  QApplication application(qt_argc, argv);
  qInstallMessageHandler(previous);
  application.setApplicationName("vostrel");
  application.setOrganizationName("vostrel");
  InstallMessageBoxSink();
  UseLanguage(options.language.empty() ? ChosenLanguage(application.arguments())
                                       : QString::fromStdString(options.language));
  TMainForm form;
  // vostrel FILE.qmr opens the survey, vostrel LINE.vln the line, as a file manager asks
  // on a double click.
  form.ShowAtStart(QString::fromStdString(options.file));
  return application.exec();
}
