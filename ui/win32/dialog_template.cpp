// SPDX-License-Identifier: MIT
#include "dialog_template.h"

#include <cstdint>
#include <string_view>

namespace tarnel::ui::win32 {
namespace {

// The predefined window classes, by the ordinals that templates name them with.
constexpr std::uint16_t kButtonClass = 0x0080;
constexpr std::uint16_t kEditClass = 0x0081;
constexpr std::uint16_t kStaticClass = 0x0082;
constexpr std::uint16_t kOrdinal = 0xFFFF;
constexpr std::uint16_t kNormalWeight = 400;
constexpr std::uint8_t kDefaultCharset = 1;

class Writer {
  public:
    void u8(std::uint8_t value) { m_bytes.push_back(value); }
    void u16(std::uint16_t value) {
        u8(std::uint8_t(value));
        u8(std::uint8_t(value >> 8));
    }
    void u32(std::uint32_t value) {
        u16(std::uint16_t(value));
        u16(std::uint16_t(value >> 16));
    }
    void i16(int value) { u16(std::uint16_t(std::int16_t(value))); }

    /// A zero-terminated UTF-16 string from UTF-8.
    void text(std::string_view utf8) {
        for (std::size_t i = 0; i < utf8.size();) {
            const unsigned char lead = static_cast<unsigned char>(utf8[i]);
            const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
            std::uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
            for (int k = 1; k <= extra && i + std::size_t(k) < utf8.size(); ++k)
                code = (code << 6) | (static_cast<unsigned char>(utf8[i + std::size_t(k)]) & 0x3F);
            i += std::size_t(extra) + 1;
            if (code >= 0x10000) {
                code -= 0x10000;
                u16(std::uint16_t(0xD800 + (code >> 10)));
                u16(std::uint16_t(0xDC00 + (code & 0x3FF)));
            } else {
                u16(std::uint16_t(code));
            }
        }
        u16(0);
    }

    void ordinal(std::uint16_t value) {
        u16(kOrdinal);
        u16(value);
    }

    void align_to_dword() {
        while (m_bytes.size() % 4 != 0)
            u8(0);
    }

    std::vector<unsigned char> take() { return std::move(m_bytes); }

  private:
    std::vector<unsigned char> m_bytes;
};

std::uint16_t class_ordinal(ControlClass control_class) {
    switch (control_class) {
        case ControlClass::Button:
            return kButtonClass;
        case ControlClass::Edit:
            return kEditClass;
        case ControlClass::Static:
            break;
    }
    return kStaticClass;
}

bool is_icon(const ControlTemplate& control) {
    return control.control_class == ControlClass::Static && (control.style & 0x1Fu) == SS_ICON;
}

}  // namespace

std::vector<unsigned char> BuildDialogTemplate(const DialogTemplate& dialog) {
    Writer out;
    if (dialog.extended) {
        out.u16(1);       // version
        out.u16(0xFFFF);  // the signature of an extended template
        out.u32(0);       // help id
        out.u32(dialog.ex_style);
        out.u32(dialog.style);
    } else {
        out.u32(dialog.style);
        out.u32(dialog.ex_style);
    }
    out.u16(std::uint16_t(dialog.controls.size()));
    out.i16(dialog.x);
    out.i16(dialog.y);
    out.i16(dialog.cx);
    out.i16(dialog.cy);
    out.u16(0);  // no menu
    out.u16(0);  // the standard dialog class
    out.text(dialog.title);
    if (dialog.style & DS_SETFONT) {
        out.u16(std::uint16_t(dialog.font_points));
        if (dialog.extended) {
            out.u16(kNormalWeight);
            out.u8(0);  // not italic
            out.u8(kDefaultCharset);
        }
        out.text(dialog.font_face);
    }

    for (const ControlTemplate& control : dialog.controls) {
        out.align_to_dword();
        if (dialog.extended) {
            out.u32(0);  // help id
            out.u32(0);  // extended style
            out.u32(control.style);
        } else {
            out.u32(control.style);
            out.u32(0);
        }
        out.i16(control.x);
        out.i16(control.y);
        out.i16(control.cx);
        out.i16(control.cy);
        if (dialog.extended)
            out.u32(std::uint32_t(control.id));
        else
            out.u16(std::uint16_t(control.id));
        out.ordinal(class_ordinal(control.control_class));
        if (is_icon(control))
            out.ordinal(std::uint16_t(control.icon));
        else
            out.text(control.text);
        out.u16(0);  // no creation data
    }
    return out.take();
}

}  // namespace tarnel::ui::win32
