#include "DialTestSupport.hpp"
#include "ZeltoDialsCore/LabelFormatter.hpp"
#include "core/Log.hpp"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unicode/locid.h>

using namespace dialtest;
using zelto::DefaultLabelFormatter;
using zelto::LabelNameFormatter;

namespace {

std::shared_ptr<RecordingParameter> plain() {
    return RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 0);
}
std::shared_ptr<RecordingParameter> cents() {
    return RecordingParameter::make("Note", AudioUnitParameterUnit::absoluteCents, {-2400, 2400}, 0);
}
std::shared_ptr<RecordingParameter> shapes() {
    return RecordingParameter::make("Shape", AudioUnitParameterUnit::indexed, {0, 3}, 0,
                                    AudioParameter::ValueIncrement::linear(),
                                    std::vector<std::string>{"Saw", "Square", "Sine", "SAW"});
}

// A process locale whose decimal separator is a comma, made in the build tree when the system has none.
bool useCommaLocale() {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        return true;
    }
    const std::filesystem::path dir = std::filesystem::path(ZELTO_BUNDLES_DIR).parent_path() / "locales";
    if (!std::filesystem::exists(dir / "de_DE.UTF-8")) {
        std::filesystem::create_directories(dir);
        const auto command =
            "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 &&
            !std::filesystem::exists(dir / "de_DE.UTF-8" / "LC_NUMERIC")) {
            return false;
        }
    }
    setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

// The user's locale, as ICU sees it, for the life of the object.
struct UserLocale {
    explicit UserLocale(const char* identifier) { set(icu::Locale(identifier)); }
    ~UserLocale() { set(previous); }
    static void set(const icu::Locale& locale) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(locale, status);
    }
    icu::Locale previous = icu::Locale::getDefault();
};

} // namespace

TEST(DefaultLabelFormatter, FormatsFixedDecimalsAfterTheSaveScale) {
    auto p = plain();
    EXPECT_EQ(DefaultLabelFormatter(*p, 2).format(3.14159f), "3.14");
    EXPECT_EQ(DefaultLabelFormatter(*p, 0).format(2.7f), "3");
    EXPECT_EQ(DefaultLabelFormatter(*p, 1).format(-0.25f), "-0.2"); // to even, as printf does
    auto c = cents();
    EXPECT_EQ(DefaultLabelFormatter(*c, 1).format(250), "2.5");
    EXPECT_EQ(DefaultLabelFormatter(*c, 2).format(-1250), "-12.50");
    // A negative count of decimals shows none.
    EXPECT_EQ(DefaultLabelFormatter(*p, -1).format(2.7f), "3");
    EXPECT_EQ(DefaultLabelFormatter(*p, -40).format(12.25f), "12");
}

TEST(DefaultLabelFormatter, ReadsOnlyWholeFiniteDecimalText) {
    const DefaultLabelFormatter f(*cents(), 1);
    EXPECT_EQ(f.value("2.5"), 2.5f); // no scale here: the label applies the display scale
    EXPECT_EQ(f.value("-12"), -12.0f);
    EXPECT_EQ(f.value("+4"), 4.0f);
    EXPECT_EQ(f.value("1e2"), 100.0f);
    for (const char* bad :
         {"", " 2", "2 ", "2,5", "abc", "2.5x", "nan", "inf", "-inf", "0x10", "1e999", "--1"}) {
        EXPECT_FALSE(f.value(bad)) << bad;
    }
}

TEST(DefaultLabelFormatter, IgnoresTheProcessLocale) {
    if (!useCommaLocale()) {
        GTEST_SKIP() << "no locale with a decimal comma";
    }
    ASSERT_EQ(std::to_string(3.5), "3,500000") << "the locale is in force";
    const DefaultLabelFormatter f(*plain(), 2);
    EXPECT_EQ(f.format(3.14159f), "3.14");
    EXPECT_EQ(f.value("2.5"), 2.5f);
    EXPECT_FALSE(f.value("2,5"));
    std::setlocale(LC_ALL, "C");
}

TEST(LabelNameFormatter, NamesRoundedIndicesAndLogsIndicesWithoutAName) {
    const LabelNameFormatter f(*shapes());
    EXPECT_EQ(f.format(0), "Saw");
    EXPECT_EQ(f.format(1.4f), "Square");
    EXPECT_EQ(f.format(1.5f), "Sine"); // halves away from zero
    EXPECT_EQ(f.format(-0.4f), "Saw");
    core::LogCapture log;
    for (float bad : {-0.5f, 4.0f, 1e30f, std::nanf(""), std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(f.format(bad), "") << bad;
    }
    EXPECT_TRUE(log.contains("Unable to format value -0.5, no value string found"));
    EXPECT_TRUE(log.contains("Unable to format value 4, no value string found"));
    EXPECT_EQ(log.lines().size(), 5u);
    // A parameter without names has none to give.
    const LabelNameFormatter none(*plain());
    EXPECT_TRUE(none.valueStrings().empty());
    EXPECT_EQ(none.format(0), "");
}

TEST(LabelNameFormatter, FindsNamesIgnoringCaseFirstMatchFirst) {
    const LabelNameFormatter f(*shapes());
    EXPECT_EQ(f.value("square"), 1.0f);
    EXPECT_EQ(f.value("SINE"), 2.0f);
    EXPECT_EQ(f.value("saw"), 0.0f) << "the first of two equal names";
    EXPECT_FALSE(f.value("Triangle"));
    EXPECT_FALSE(f.value(""));
}

TEST(LabelNameFormatter, IgnoresCaseByTheRulesOfTheUsersLocale) {
    const auto names = RecordingParameter::make("Source", AudioUnitParameterUnit::indexed, {0, 2}, 0,
                                                AudioParameter::ValueIncrement::linear(),
                                                std::vector<std::string>{"DISK", "İç", "Straße"});
    {
        UserLocale turkish("tr_TR");
        const LabelNameFormatter f(*names);
        EXPECT_EQ(f.value("dısk"), 0.0f) << "Turkish dotless i";
        EXPECT_EQ(f.value("iç"), 1.0f);
        EXPECT_FALSE(f.value("disk")) << "a dotted i is another letter in Turkish";
    }
    UserLocale english("en_GB");
    const LabelNameFormatter f(*names);
    EXPECT_EQ(f.value("disk"), 0.0f);
    EXPECT_FALSE(f.value("dısk"));
    EXPECT_EQ(f.value("STRASSE"), std::nullopt) << "case folding is not lower-casing";
    EXPECT_EQ(f.value("STRAßE"), 2.0f);
}
