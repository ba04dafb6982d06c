#include "vostrel_batch/plot_options.h"

#include <algorithm>
#include <cctype>

#include "vostrel_batch/options.h"

void DeclarePlotOptions(CLI::App& app, PlotOptions& o) {
  AddArgument(app, "FILE.qmr", o.file, "the survey");
  CLI::Validator picture(
      [](std::string& name) {
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        for (const char* extension : {".png", ".svg", ".pdf"})
          if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, extension) == 0) return std::string();
        return "takes a picture named .png, .svg or .pdf, not '" + name + "'";
      },
      "", "");
  AddArgument(app, "OUT.png|svg|pdf", o.picture, "the picture to write")->check(picture);
  AddRecordOptions(app, o.record);
  const CLI::Validator number =
      WholeNumber("a record number", [](int64_t k) { return k >= INT32_MIN && k <= INT32_MAX; });
  CLI::Option_group* what = app.add_option_group("Picture", "one of these");
  what->add_option("--record", o.k, "record K's current and voltage charts")
      ->type_name("K")
      ->check(number)
      ->each([&o](const std::string&) { o.kind = PlotOptions::Kind::Record; });
  what->add_option("--decay", o.k, "record K's decay after the switch-off, with the default gates")
      ->type_name("K")
      ->check(number)
      ->each([&o](const std::string&) { o.kind = PlotOptions::Kind::Decay; });
  AddChoice(*what, "--pseudosection", o.section, {"rhoa", "ip", "error"},
            "the pseudosection of the apparent resistivity, the chargeability M or the stacking error")
      ->each([&o](const std::string&) { o.kind = PlotOptions::Kind::Section; });
  what->require_option(1);
}
