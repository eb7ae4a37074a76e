// SPDX-License-Identifier: MIT
// tarnel.exe's resources, read back from the file: the dialog templates agree with
// the records the windows are built from (and with the bytes the layer builds from
// those), and the icon group, the string table, the version record and the
// manifest hold exactly their values: tarnel.rc is written by hand, and these
// tests hold it to app/resources.cpp.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "dialog_template.h"
#include "pe_resources.h"
#include "resource_ids.h"
#include "resources.h"
#include "tarnel/version.h"

namespace tarnel::windows_test {
namespace {

constexpr std::uint16_t RT_ICON = 3;
constexpr std::uint16_t RT_DIALOG = 5;
constexpr std::uint16_t RT_STRING = 6;
constexpr std::uint16_t RT_GROUP_ICON = 14;
constexpr std::uint16_t RT_VERSION = 16;
constexpr std::uint16_t RT_MANIFEST = 24;

const PeResources& Exe() {
    static const PeResources resources(TARNEL_EXE_PATH);
    return resources;
}

struct Control {
    std::uint32_t style, ex_style;
    int x, y, cx, cy;
    std::int32_t id;
    std::uint16_t class_ordinal;
    std::string text;
    int icon;  ///< the icon group an SS_ICON names, else -1
    bool operator==(const Control&) const = default;
};

struct Dialog {
    bool extended;
    std::uint32_t style, ex_style;
    int x, y, cx, cy;
    std::string menu, window_class, title;
    int points, weight, italic, charset;
    std::string font;
    std::vector<Control> controls;
    bool operator==(const Dialog&) const = default;
};

// A menu, class or title field: an ordinal or a string.
std::string name_or_ordinal(const Bytes& bytes, std::size_t& at, int* ordinal = nullptr) {
    if (u16(bytes, at) == 0xFFFF) {
        if (ordinal != nullptr)
            *ordinal = u16(bytes, at + 2);
        std::string text(1, '#');
        text += std::to_string(u16(bytes, at + 2));
        at += 4;
        return text;
    }
    return utf16z(bytes, at);
}

Dialog Parse(const Bytes& bytes) {
    Dialog d{};
    std::size_t at = 0;
    d.extended = u16(bytes, 0) == 1 && u16(bytes, 2) == 0xFFFF;
    if (d.extended) {
        d.ex_style = u32(bytes, 8);
        d.style = u32(bytes, 12);
        at = 16;
    } else {
        d.style = u32(bytes, 0);
        d.ex_style = u32(bytes, 4);
        at = 8;
    }
    const int count = u16(bytes, at);
    d.x = std::int16_t(u16(bytes, at + 2));
    d.y = std::int16_t(u16(bytes, at + 4));
    d.cx = std::int16_t(u16(bytes, at + 6));
    d.cy = std::int16_t(u16(bytes, at + 8));
    at += 10;
    d.menu = name_or_ordinal(bytes, at);
    d.window_class = name_or_ordinal(bytes, at);
    d.title = utf16z(bytes, at);
    if (d.style & ui::DS_SETFONT) {
        d.points = u16(bytes, at);
        at += 2;
        if (d.extended) {
            d.weight = u16(bytes, at);
            d.italic = bytes.at(at + 2);
            d.charset = bytes.at(at + 3);
            at += 4;
        }
        d.font = utf16z(bytes, at);
    }
    for (int i = 0; i < count; ++i) {
        at = (at + 3) & ~std::size_t(3);
        Control c{};
        if (d.extended) {
            c.ex_style = u32(bytes, at + 4);
            c.style = u32(bytes, at + 8);
            at += 12;
        } else {
            c.style = u32(bytes, at);
            c.ex_style = u32(bytes, at + 4);
            at += 8;
        }
        c.x = std::int16_t(u16(bytes, at));
        c.y = std::int16_t(u16(bytes, at + 2));
        c.cx = std::int16_t(u16(bytes, at + 4));
        c.cy = std::int16_t(u16(bytes, at + 6));
        at += 8;
        c.id = d.extended ? std::int32_t(u32(bytes, at)) : std::int16_t(u16(bytes, at));
        at += d.extended ? 4 : 2;
        int ordinal = 0;
        std::string name = name_or_ordinal(bytes, at, &ordinal);
        // A predefined class by name (in any case) is the class of that ordinal.
        for (char& letter : name)
            letter = char(std::tolower(static_cast<unsigned char>(letter)));
        if (name == "button" || name == "edit" || name == "static")
            ordinal = name == "button" ? 0x0080 : name == "edit" ? 0x0081 : 0x0082;
        c.class_ordinal = std::uint16_t(ordinal);
        c.icon = -1;
        c.text = name_or_ordinal(bytes, at, &c.icon);
        if (c.icon >= 0)
            c.text.clear();
        at += 2 + u16(bytes, at);  // creation data
        d.controls.push_back(c);
    }
    return d;
}

std::uint16_t ClassOrdinal(ui::ControlClass control_class) {
    switch (control_class) {
        case ui::ControlClass::Button:
            return 0x0080;
        case ui::ControlClass::Edit:
            return 0x0081;
        case ui::ControlClass::Static:
            break;
    }
    return 0x0082;
}

const ui::DialogTemplate& Record(int id) {
    for (const ui::DialogTemplate& dialog : app::AppResources().dialogs)
        if (dialog.id == id)
            return dialog;
    throw std::runtime_error("no such template");
}

class Templates : public ::testing::TestWithParam<int> {};

TEST_P(Templates, TheExecutablesTemplateIsTheRecordAndTheBytesTheWindowIsMadeFrom) {
    const ui::DialogTemplate& record = Record(GetParam());
    ASSERT_EQ(Exe().of_type(RT_DIALOG).count(std::uint16_t(GetParam())), 1u);
    const Dialog in_exe = Parse(Exe().of_type(RT_DIALOG).at(std::uint16_t(GetParam())));
    const Dialog in_memory = Parse(ui::win32::BuildDialogTemplate(record));
    EXPECT_EQ(in_exe, in_memory);

    EXPECT_EQ(in_exe.extended, record.extended);
    EXPECT_EQ(in_exe.style, record.style);
    EXPECT_EQ(in_exe.ex_style, record.ex_style);
    EXPECT_EQ(std::vector<int>({in_exe.x, in_exe.y, in_exe.cx, in_exe.cy}),
              std::vector<int>({record.x, record.y, record.cx, record.cy}));
    EXPECT_EQ(in_exe.menu, "");
    EXPECT_EQ(in_exe.window_class, "");
    EXPECT_EQ(in_exe.title, record.title);
    EXPECT_EQ(in_exe.font, "MS Sans Serif");
    EXPECT_EQ(in_exe.points, 8);
    ASSERT_EQ(in_exe.controls.size(), record.controls.size());
    for (std::size_t i = 0; i < record.controls.size(); ++i) {
        const ui::ControlTemplate& want = record.controls[i];
        const Control& got = in_exe.controls[i];
        EXPECT_EQ(got.id, want.id) << i;
        EXPECT_EQ(got.class_ordinal, ClassOrdinal(want.control_class)) << i;
        EXPECT_EQ(got.style, want.style) << i;
        EXPECT_EQ(got.ex_style, 0u) << i;
        EXPECT_EQ(std::vector<int>({got.x, got.y, got.cx, got.cy}),
                  std::vector<int>({want.x, want.y, want.cx, want.cy}))
            << i;
        if ((want.style & 0x1F) == ui::SS_ICON && want.control_class == ui::ControlClass::Static)
            EXPECT_EQ(got.icon, want.icon) << i;
        else
            EXPECT_EQ(got.text, want.text) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, Templates, ::testing::Values(app::IDD_ABOUT, app::IDD_MAIN));

TEST(Templates, MainIsExtendedWithNormalWeightAndAboutIsClassic) {
    const Dialog main = Parse(Exe().of_type(RT_DIALOG).at(app::IDD_MAIN));
    EXPECT_TRUE(main.extended);
    EXPECT_EQ(main.weight, 400);
    EXPECT_EQ(main.italic, 0);
    EXPECT_EQ(main.charset, 1);
    EXPECT_FALSE(Parse(Exe().of_type(RT_DIALOG).at(app::IDD_ABOUT)).extended);
    EXPECT_EQ(Exe().of_type(RT_DIALOG).size(), 2u);
}

TEST(Resources, OnlyTheKindsTheProgramHas) {
    EXPECT_EQ(Exe().types(), (std::vector<std::uint16_t>{RT_ICON, RT_DIALOG, RT_STRING,
                                                         RT_GROUP_ICON, RT_VERSION, RT_MANIFEST}));
}

TEST(StringTable, HoldsTheRecordsOneEntryAndNothingElse) {
    ASSERT_EQ(app::AppResources().strings.size(), 1u);
    const ui::StringResource& record = app::AppResources().strings.front();
    EXPECT_EQ(record.id, app::IDS_ABOUT_MENU);
    // Strings come in blocks of sixteen: string 101 is the sixth of block 7.
    const auto& blocks = Exe().of_type(RT_STRING);
    ASSERT_EQ(blocks.size(), 1u);
    ASSERT_EQ(blocks.begin()->first, record.id / 16 + 1);
    const Bytes& block = blocks.begin()->second;
    std::size_t at = 0;
    for (unsigned index = 0; index < 16; ++index) {
        const std::size_t length = u16(block, at);
        at += 2;
        std::string text;
        for (std::size_t k = 0; k < length; ++k)
            text += char(u16(block, at + 2 * k));
        at += 2 * length;
        EXPECT_EQ(text, index == record.id % 16 ? std::string(record.text) : "") << index;
    }
}

TEST(IconGroup, HasA32BitAnd24BitImageOfTheRightSizes) {
    const auto& groups = Exe().of_type(RT_GROUP_ICON);
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_EQ(groups.begin()->first, app::IDI_MAIN);
    const Bytes& group = groups.begin()->second;
    EXPECT_EQ(u16(group, 2), 1);  // an icon, not a cursor
    ASSERT_EQ(u16(group, 4), 2);
    const ui::IconGroup& record = app::AppResources().icons.front();
    ASSERT_EQ(record.images.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t entry = 6 + 14 * i;
        const int width = group.at(entry);
        const int height = group.at(entry + 1);
        const int bits = u16(group, entry + 6);
        EXPECT_EQ(width, record.images[i].width);
        EXPECT_EQ(height, record.images[i].height);
        EXPECT_EQ(bits, record.images[i].bits_per_pixel);
        // The image itself: a bitmap whose header says the same, not just the group.
        const std::uint16_t id = u16(group, entry + 12);
        ASSERT_EQ(Exe().of_type(RT_ICON).count(id), 1u);
        const Bytes& image = Exe().of_type(RT_ICON).at(id);
        ASSERT_EQ(u32(image, 0), 40u) << "a BITMAPINFOHEADER";
        EXPECT_EQ(int(u32(image, 4)), width);
        EXPECT_EQ(int(u32(image, 8)), 2 * height);  // the colours and the AND mask
        EXPECT_EQ(u16(image, 14), bits);
        EXPECT_EQ(u32(group, entry + 8), image.size());
    }
    EXPECT_EQ(record.images[0].width, 32);
    EXPECT_EQ(record.images[0].bits_per_pixel, 24);
    EXPECT_EQ(record.images[1].width, 16);
    EXPECT_EQ(record.images[1].bits_per_pixel, 32);
}

// One node of the version record: a length, a value length, a type, a key, the
// value, then the children, each DWORD-aligned.
struct VersionNode {
    std::string key;
    Bytes value;
    bool text;
    std::vector<VersionNode> children;
};

VersionNode ParseVersion(const Bytes& bytes, std::size_t at) {
    const std::size_t end = at + u16(bytes, at);
    const std::size_t value_length = u16(bytes, at + 2);
    VersionNode node;
    node.text = u16(bytes, at + 4) == 1;
    std::size_t cursor = at + 6;
    node.key = utf16z(bytes, cursor);
    cursor = (cursor + 3) & ~std::size_t(3);
    const std::size_t value_bytes = node.text ? value_length * 2 : value_length;
    node.value.assign(bytes.begin() + std::ptrdiff_t(cursor),
                      bytes.begin() + std::ptrdiff_t(cursor + value_bytes));
    cursor = (cursor + value_bytes + 3) & ~std::size_t(3);
    while (cursor + 6 <= end) {
        node.children.push_back(ParseVersion(bytes, cursor));
        cursor = (cursor + u16(bytes, cursor) + 3) & ~std::size_t(3);
    }
    return node;
}

std::string TextValue(const VersionNode& node) {
    std::size_t at = 0;
    return node.value.empty() ? std::string() : utf16z(node.value, at);
}

TEST(VersionRecord, HoldsExactlyTheRecordsValues) {
    const auto& versions = Exe().of_type(RT_VERSION);
    ASSERT_EQ(versions.size(), 1u);
    ASSERT_EQ(versions.begin()->first, 1);
    const VersionNode root = ParseVersion(versions.begin()->second, 0);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");
    ASSERT_EQ(root.value.size(), 52u);
    const Bytes& fixed = root.value;
    const ui::VersionRecord& record = *app::AppResources().version;
    EXPECT_EQ(u32(fixed, 0), 0xFEEF04BDu);
    const auto version = [&](std::size_t at) {
        return std::vector<int>{u16(fixed, at + 2), u16(fixed, at), u16(fixed, at + 6),
                                u16(fixed, at + 4)};
    };
    EXPECT_EQ(version(8), std::vector<int>(record.file_version, record.file_version + 4));
    EXPECT_EQ(version(16), std::vector<int>(record.product_version, record.product_version + 4));
    EXPECT_EQ(u32(fixed, 28), 0u);  // no flags set
    EXPECT_EQ(u32(fixed, 32), record.file_os);
    EXPECT_EQ(u32(fixed, 32), 0x4u);  // VOS__WINDOWS32
    EXPECT_EQ(u32(fixed, 36), record.file_type);

    ASSERT_EQ(root.children.size(), 2u);
    const VersionNode& strings = root.children[0];
    EXPECT_EQ(strings.key, "StringFileInfo");
    ASSERT_EQ(strings.children.size(), 1u);
    EXPECT_EQ(strings.children[0].key, "040904B0");
    std::string found;
    for (const VersionNode& entry : strings.children[0].children)
        found.append(entry.key).append("=").append(TextValue(entry)).append(";");
    std::string wanted;
    for (const ui::VersionString& entry : record.strings)
        wanted.append(entry.key).append("=").append(entry.value).append(";");
    EXPECT_EQ(found, wanted);

    const VersionNode& variables = root.children[1];
    EXPECT_EQ(variables.key, "VarFileInfo");
    ASSERT_EQ(variables.children.size(), 1u);
    EXPECT_EQ(variables.children[0].key, "Translation");
    ASSERT_EQ(variables.children[0].value.size(), 4u);
    EXPECT_EQ(u16(variables.children[0].value, 0), record.language);
    EXPECT_EQ(u16(variables.children[0].value, 2), record.code_page);
}

TEST(Manifest, IsOfThisVersionAndAsksForVisualStylesAndPerMonitorAwareness) {
    const auto& manifests = Exe().of_type(RT_MANIFEST);
    ASSERT_EQ(manifests.count(1), 1u);
    const Bytes& bytes = manifests.at(1);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("name=\"Tarnel.Tarnel\" version=\"" TARNEL_VERSION_STRING "\""),
              std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(text.find(">PerMonitorV2, system</dpiAwareness>"), std::string::npos);
    EXPECT_NE(text.find(">true</dpiAware>"), std::string::npos);
}

}  // namespace
}  // namespace tarnel::windows_test
