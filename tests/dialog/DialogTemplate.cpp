#include "DialogTemplate.h"

#include <cstring>

namespace dialog_tests {

namespace {

class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }

    template <typename T>
    T Read() {
        T value{};
        if (at_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        memcpy(&value, data_ + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }

    std::wstring String() {
        std::wstring text;
        for (WORD c = Read<WORD>(); ok_ && c; c = Read<WORD>()) text += static_cast<wchar_t>(c);
        return text;
    }

    // A name, or 0xFFFF and an ordinal: predefined classes are ordinals.
    std::wstring NameOrOrdinal() {
        WORD first = Read<WORD>();
        if (first != 0xFFFF) {
            if (!first) return L"";
            at_ -= sizeof(WORD);
            return String();
        }
        static const wchar_t* const kClasses[] = {L"Button", L"Edit", L"Static", L"ListBox", L"ScrollBar",
                                                  L"ComboBox"};
        WORD ordinal = Read<WORD>();
        if (ordinal >= 0x80 && ordinal <= 0x85) return kClasses[ordinal - 0x80];
        return L"#" + std::to_wstring(ordinal);
    }

    void AlignToDword() { at_ = (at_ + 3) & ~static_cast<DWORD>(3); }

private:
    const BYTE* data_;
    DWORD size_;
    DWORD at_ = 0;
    bool ok_ = true;
};

}  // namespace

bool ReadDialogTemplate(HINSTANCE instance, int id, DialogTemplate* out) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (!found) return false;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
    TemplateReader r(data, SizeofResource(instance, found));
    if (r.Read<WORD>() != 1 || r.Read<WORD>() != 0xFFFF) return false;
    r.Read<DWORD>();  // help id
    r.Read<DWORD>();  // extended style
    out->style = r.Read<DWORD>();
    const WORD count = r.Read<WORD>();
    r.Read<DWORD>();  // x and y
    out->cx = r.Read<short>();
    out->cy = r.Read<short>();
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // class
    out->caption = r.String();
    if (out->style & DS_SETFONT) {
        out->pointSize = r.Read<WORD>();
        r.Read<WORD>();  // weight
        r.Read<BYTE>();  // italic
        r.Read<BYTE>();  // character set
        out->font = r.String();
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.AlignToDword();
        TemplateItem item;
        r.Read<DWORD>();  // help id
        r.Read<DWORD>();  // extended style
        item.style = r.Read<DWORD>();
        item.x = r.Read<short>();
        item.y = r.Read<short>();
        item.cx = r.Read<short>();
        item.cy = r.Read<short>();
        item.id = static_cast<int>(r.Read<DWORD>());
        item.className = r.NameOrOrdinal();
        item.text = r.NameOrOrdinal();
        const WORD extra = r.Read<WORD>();
        for (WORD b = 0; b < extra; ++b) r.Read<BYTE>();
        out->items.push_back(item);
    }
    return r.ok();
}

}  // namespace dialog_tests
