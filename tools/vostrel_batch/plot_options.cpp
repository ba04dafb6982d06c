#include "vostrel_batch/plot_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "vostrel_batch/options.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool WholeNumberOf(const std::string& text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool NumberOf(const std::string& text, double& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// The choices that only go together once every option is read.
void CheckTogether(const PlotOptions& o, const std::string& scale) {
  const bool section = o.kind == PlotOptions::Kind::Section;
  if (o.Line() && !section) throw CLI::ValidationError("a line (LINE.vln) is drawn as a --pseudosection");
  if (o.Line() && (o.record.flip_sign || o.record.abs_du))
    throw CLI::ValidationError("a line's processing is its project's: --flip-sign and --abs-du are for a survey");
  if ((!scale.empty() || o.logarithmic || o.elevation) && (!section || o.section == "classes"))
    throw CLI::ValidationError("--scale, --log, --linear and --elevation draw a --pseudosection of rhoa, ip or error");
  std::error_code same;
  if (std::filesystem::equivalent(o.file, o.picture, same))
    throw CLI::ValidationError("the picture would replace " + o.file + ", which is only ever read");
  if (o.elevation && !o.Line()) throw CLI::ValidationError("--elevation draws a line's section (LINE.vln)");
  if (o.limits) {
    const bool logarithmic = o.logarithmic.value_or(o.section != "ip");
    if (logarithmic && o.limits->first <= 0)
      throw CLI::ValidationError("--scale: a log scale takes limits above 0, not '" + scale + "'");
  }
}

}  // namespace

bool PlotOptions::Line() const { return Lower(std::filesystem::path(file).extension().string()) == ".vln"; }

void DeclarePlotOptions(CLI::App& app, PlotOptions& o) {
  AddArgument(app, "FILE.qmr|LINE.vln", o.file, "the survey, or a line drawn as a section");
  CLI::Validator picture(
      [](std::string& name) {
        const std::string lower = Lower(name);
        for (const char* extension : {".png", ".svg", ".pdf"})
          if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, extension) == 0) return std::string();
        return "takes a picture named .png, .svg or .pdf, not '" + name + "'";
      },
      "", "");
  AddArgument(app, "OUT.png|svg|pdf", o.picture, "the picture to write")->check(picture);
  AddRecordOptions(app, o.record);
  const CLI::Validator number =
      WholeNumber("a record number", [](int64_t k) { return k >= INT32_MIN && k <= INT32_MAX; });
  CLI::Option_group* what = app.add_option_group("Picture", "the picture drawn");
  what->add_option("--record", o.k, "record K's current and voltage charts")
      ->type_name("K")
      ->check(number)
      ->each([&o](const std::string&) { o.kind = PlotOptions::Kind::Record; });
  what->add_option("--decay", o.k, "record K's decay after the switch-off, with the default gates")
      ->type_name("K")
      ->check(number)
      ->each([&o](const std::string&) { o.kind = PlotOptions::Kind::Decay; });
  AddChoice(*what, "--pseudosection", o.section, {"rhoa", "ip", "error", "classes"},
            "the pseudosection of the apparent resistivity, the chargeability M, the stacking error or its classes")
      ->each([&o](const std::string&) { o.kind = PlotOptions::Kind::Section; });
  what->require_option(1);

  auto scale = std::make_shared<std::string>();
  CLI::Validator limits(
      [&o](std::string& text) {
        if (text == "auto") return std::string();
        const size_t colon = text.find(':');
        double low = 0, high = 0;
        if (colon == std::string::npos || !NumberOf(text.substr(0, colon), low) ||
            !NumberOf(text.substr(colon + 1), high) || !(low < high))
          return "takes auto or LOW:HIGH with the low limit first, not '" + text + "'";
        o.limits = std::pair{low, high};
        return std::string();
      },
      "", "");
  app.add_option("--scale", *scale, "the section's colour scale: automatic (the default) or fixed limits")
      ->type_name("auto|LOW:HIGH")
      ->check(limits);
  auto logarithmic = std::make_shared<bool>(false), linear = std::make_shared<bool>(false);
  AddFlag(app, "--log", *logarithmic, "the section's colours on a logarithmic scale");
  AddFlag(app, "--linear", *linear, "the section's colours on a linear scale (not with --log)");
  AddFlag(app, "--elevation", o.elevation, "a line's section drawn in elevation under its ground");
  CLI::Validator size(
      [&o](std::string& text) {
        const size_t x = text.find('x');
        int width = 0, height = 0;
        if (x == std::string::npos || !WholeNumberOf(text.substr(0, x), width) ||
            !WholeNumberOf(text.substr(x + 1), height) || width < 1 || height < 1 || width > LargestPictureSide ||
            height > LargestPictureSide || int64_t{width} * height > LargestPicturePixels)
          return "takes WIDTHxHEIGHT, from 1 to " + std::to_string(LargestPictureSide) + " pixels a side and " +
                 std::to_string(LargestPicturePixels / 1'000'000) + " megapixels at most, not '" + text + "'";
        o.width = width, o.height = height;
        return std::string();
      },
      "", "");
  auto size_text = std::make_shared<std::string>();
  app.add_option("--size", *size_text, "the picture's size in pixels; larger than drawn, it is magnified")
      ->type_name("WIDTHxHEIGHT")
      ->check(size);
  // The callback keeps what the options write into alive as long as the app.
  app.final_callback([&o, scale, logarithmic, linear, size_text] {
    if (*logarithmic && *linear) throw CLI::ValidationError("--log or --linear, not both");
    if (*logarithmic || *linear) o.logarithmic = *logarithmic;
    CheckTogether(o, *scale == "auto" ? std::string() : *scale);
  });
}
