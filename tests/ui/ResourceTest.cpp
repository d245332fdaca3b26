// The resources of the shipped 32-bit program, read back from its file: the six page templates
// control by control, the icon groups, the accelerator table and the manifest. The expected
// values are written out here from the pages' layout tables, not taken from the resource script.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace
{
std::string g_path;

// Window, dialog and control styles (the host has no Windows headers).
enum : uint32_t
{
    WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
    WS_VSCROLL = 0x00200000, WS_GROUP = 0x00020000, WS_TABSTOP = 0x00010000,
    DS_SETFONT = 0x40, DS_3DLOOK = 0x04, DS_CENTER = 0x800,
    SS_LEFT = 0, SS_CENTER = 1, SS_RIGHT = 2, SS_ETCHEDHORZ = 0x10, SS_CENTERIMAGE = 0x200,
    SS_SUNKEN = 0x1000,
    BS_PUSHBUTTON = 0, BS_DEFPUSHBUTTON = 1, BS_AUTOCHECKBOX = 3, BS_LEFTTEXT = 0x20,
    BS_RIGHT = 0x200,
    ES_MULTILINE = 4, ES_READONLY = 0x800,
    CBS_DROPDOWNLIST = 3, CBS_SORT = 0x100,
    WS_EX_STATICEDGE = 0x20000, WS_EX_RIGHT = 0x1000
};
const uint32_t kShown = WS_CHILD | WS_VISIBLE;
const uint32_t kLine = kShown | SS_ETCHEDHORZ;
const uint32_t kLabel = kShown | SS_LEFT;
const uint32_t kPush = kShown | BS_PUSHBUTTON | WS_TABSTOP;
const uint32_t kDefault = kShown | BS_DEFPUSHBUTTON | WS_TABSTOP;
const uint32_t kCheck = kShown | BS_AUTOCHECKBOX | WS_TABSTOP;
const uint32_t kDropList = kShown | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
const uint32_t kRightLabel = kShown | SS_RIGHT | SS_CENTERIMAGE;

struct Control
{
    int32_t id;
    std::string cls;
    uint32_t style;
    uint32_t exStyle;
    int x, y, w, h;
    std::string text;
};

bool operator==(const Control& a, const Control& b)
{
    return a.id == b.id && a.cls == b.cls && a.style == b.style && a.exStyle == b.exStyle &&
           a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h && a.text == b.text;
}

std::ostream& operator<<(std::ostream& out, const Control& c)
{
    return out << "{id " << c.id << ", " << c.cls << ", style 0x" << std::hex << c.style
               << ", ex 0x" << c.exStyle << std::dec << ", " << c.x << "," << c.y << " " << c.w
               << "x" << c.h << ", \"" << c.text << "\"}";
}

struct Template
{
    uint32_t style = 0;
    int w = 0, h = 0;
    int pointSize = 0;
    std::string face;
    std::string title;
    std::vector<Control> controls;
};

class PeFile
{
public:
    explicit PeFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool Ok() const { return m_bytes.size() > 0x40; }
    uint32_t U32(size_t at) const { return at + 4 <= m_bytes.size() ? Get(at, 4) : 0; }
    uint16_t U16(size_t at) const { return at + 2 <= m_bytes.size() ? Get(at, 2) : 0; }
    size_t Size() const { return m_bytes.size(); }
    const unsigned char* At(size_t at) const { return m_bytes.data() + at; }

    // File offset of a relative virtual address; 0 when no section holds it.
    size_t Offset(uint32_t rva) const
    {
        size_t pe = U32(0x3C);
        size_t sections = pe + 24 + U16(pe + 20);
        for (int i = 0; i < U16(pe + 6); ++i)
        {
            size_t s = sections + 40 * i;
            uint32_t va = U32(s + 12), size = U32(s + 16), raw = U32(s + 20);
            if (rva >= va && rva < va + size)
                return raw + (rva - va);
        }
        return 0;
    }

    // Resource data by type, id and first language: {offset, size}, or {0, 0}.
    std::pair<size_t, uint32_t> Resource(uint32_t type, uint32_t id) const
    {
        size_t pe = U32(0x3C);
        bool plus = U16(pe + 24) == 0x20B;
        uint32_t rsrcRva = U32(pe + 24 + (plus ? 112 : 96) + 2 * 8);
        size_t root = Offset(rsrcRva);
        if (!root)
            return {0, 0};
        size_t typeDir = Child(root, root, type);
        size_t nameDir = typeDir ? Child(root, typeDir, id) : 0;
        if (!nameDir)
            return {0, 0};
        // First language entry.
        uint32_t target = U32(nameDir + 16 + 4);
        if (target & 0x80000000u)
            return {0, 0};
        size_t entry = root + target;
        return {Offset(U32(entry)), U32(entry + 4)};
    }

private:
    uint32_t Get(size_t at, int n) const
    {
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | m_bytes[at + i];
        return v;
    }

    size_t Child(size_t root, size_t dir, uint32_t id) const
    {
        int named = U16(dir + 12), ids = U16(dir + 14);
        for (int i = 0; i < named + ids; ++i)
        {
            size_t e = dir + 16 + 8 * i;
            if (U32(e) == id)
            {
                uint32_t target = U32(e + 4);
                return (target & 0x80000000u) ? root + (target & 0x7FFFFFFFu) : 0;
            }
        }
        return 0;
    }

    std::vector<unsigned char> m_bytes;
};

class Reader
{
public:
    Reader(const PeFile& pe, size_t at, size_t end) : m_pe(pe), m_at(at), m_end(end) {}
    uint16_t W() { uint16_t v = m_pe.U16(m_at); m_at += 2; return v; }
    uint32_t D() { uint32_t v = m_pe.U32(m_at); m_at += 4; return v; }
    int16_t S() { return static_cast<int16_t>(W()); }
    void Align4(size_t base) { while ((m_at - base) % 4) ++m_at; }
    bool Past() const { return m_at > m_end; }
    size_t Pos() const { return m_at; }

    std::string Text()
    {
        std::string out;
        for (uint16_t c; (c = W()) != 0 && !Past();)
            out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }

    // A name or an ordinal (0xFFFF followed by the number).
    std::string NameOrOrdinal()
    {
        uint16_t first = m_pe.U16(m_at);
        if (first == 0xFFFF)
        {
            m_at += 2;
            return "#" + std::to_string(W());
        }
        return Text();
    }

private:
    const PeFile& m_pe;
    size_t m_at, m_end;
};

std::string ClassName(std::string cls)
{
    static const std::map<std::string, std::string> ordinals = {
        {"#128", "BUTTON"}, {"#129", "EDIT"}, {"#130", "STATIC"}, {"#133", "COMBOBOX"}};
    auto found = ordinals.find(cls);
    if (found != ordinals.end())
        return found->second;
    for (char& c : cls)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return cls;
}

bool ReadTemplate(const PeFile& pe, int id, Template& out)
{
    auto res = pe.Resource(5, id);
    if (!res.first)
        return false;
    size_t base = res.first;
    Reader r(pe, base, base + res.second);
    if (r.W() != 1 || r.W() != 0xFFFF)
        return false;  // not an extended template
    r.D();             // help id
    r.D();             // extended style
    out.style = r.D();
    int count = r.W();
    r.S();
    r.S();
    out.w = r.S();
    out.h = r.S();
    r.NameOrOrdinal();  // menu
    r.NameOrOrdinal();  // class
    out.title = r.Text();
    if (out.style & DS_SETFONT)
    {
        out.pointSize = r.W();
        r.W();
        r.W();  // italic, character set
        out.face = r.Text();
    }
    for (int i = 0; i < count; ++i)
    {
        r.Align4(base);
        Control c;
        r.D();
        c.exStyle = r.D();
        c.style = r.D();
        c.x = r.S();
        c.y = r.S();
        c.w = r.S();
        c.h = r.S();
        c.id = static_cast<int32_t>(r.D());
        if (c.id == 0xFFFF)
            c.id = -1;
        c.cls = ClassName(r.NameOrOrdinal());
        c.text = r.NameOrOrdinal();
        uint16_t extra = r.W();
        for (int k = 0; k < extra / 2; ++k)
            r.W();
        if (r.Past())
            return false;
        out.controls.push_back(c);
    }
    return true;
}

class ResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pe.Ok()) << "cannot read " << g_path;
        ASSERT_EQ(m_pe.U16(m_pe.U32(0x3C) + 4), 0x14C) << "not the 32-bit program";
    }
    PeFile m_pe{g_path};
};

struct PageCase
{
    int id;
    uint32_t style;
    std::vector<Control> controls;
};

std::vector<Control> ExpertRows(int firstCheck, int firstList, int shortDropList)
{
    std::vector<Control> rows;
    for (int k = 1; k <= 20; ++k)
    {
        int y = 5 + 14 * ((k - 1) % 10);
        bool left = k <= 10;
        int list = firstList + k - 1;
        rows.push_back({firstCheck + k - 1, "BUTTON", kCheck | BS_LEFTTEXT, WS_EX_RIGHT,
                        left ? 2 : 160, y, 72, 12, ""});
        rows.push_back({list, "COMBOBOX", kDropList | WS_DISABLED, 0, left ? 76 : 234, y, 80,
                        list == shortDropList ? 156 : 160, ""});
    }
    return rows;
}

std::vector<Control> Join(std::vector<Control> a, const std::vector<Control>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const uint32_t kPage = WS_CHILD | DS_SETFONT;

std::vector<PageCase> Pages()
{
    std::vector<PageCase> pages;
    pages.push_back({200, kPage | DS_3DLOOK, {
        {-1, "STATIC", kLine, 0, 0, 0, 318, 1, ""},
        {308, "STATIC", kLabel, 0, 8, 4, 302, 10, ""},
        {309, "STATIC", kLabel, 0, 8, 18, 302, 107, ""},
        {307, "STATIC", kLabel | WS_GROUP, 0, 8, 128, 222, 18, ""},
        {2002, "COMBOBOX", kDropList, 0, 230, 131, 80, 160, ""},
        {-1, "STATIC", kLine, 0, 0, 147, 318, 1, ""},
        {300, "BUTTON", kPush, 0, 8, 152, 50, 16, ""},
        {315, "BUTTON", kPush, 0, 83, 152, 50, 16, ""},
        {2003, "BUTTON", (kPush & ~WS_VISIBLE) | WS_DISABLED, 0, 142, 152, 50, 16, ""},
        {2, "BUTTON", kDefault, 0, 201, 152, 109, 16, ""},
        {1, "BUTTON", kPush, 0, 260, 152, 50, 16, ""}}});
    pages.push_back({201, kPage | DS_CENTER, {
        {-1, "STATIC", kLine, 0, 0, 0, 318, 1, ""},
        {311, "STATIC", kLabel, 0, 8, 4, 302, 16, ""},
        {-1, "STATIC", kLine, 0, 0, 147, 318, 1, ""},
        {306, "EDIT", kShown | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP,
         WS_EX_STATICEDGE, 8, 24, 302, 120, ""},
        {300, "BUTTON", kPush, 0, 8, 152, 50, 16, ""},
        {305, "BUTTON", kCheck, 0, 83, 152, 114, 16, ""},
        {301, "BUTTON", kPush, 0, 201, 152, 50, 16, ""},
        {1, "BUTTON", kDefault | WS_DISABLED, 0, 260, 152, 50, 16, ""}}});
    pages.push_back({202, kPage | DS_CENTER, {
        {-1, "STATIC", kLine, 0, 0, 0, 318, 1, ""},
        {313, "STATIC", kLabel, 0, 8, 4, 302, 10, "Lang"},
        {1202, "COMBOBOX", kDropList | CBS_SORT, 0, 8, 16, 302, 144, ""},
        {1200, "BUTTON", kCheck, 0, 14, 32, 294, 12, ""},
        {1205, "BUTTON", kCheck, 0, 14, 48, 294, 12, ""},
        {1212, "BUTTON", kCheck | WS_GROUP, 0, 14, 64, 294, 12, ""},
        {314, "STATIC", kRightLabel, 0, 8, 98, 196, 12, ""},
        {1214, "COMBOBOX", kDropList, 0, 206, 98, 104, 101, ""},
        {316, "STATIC", kRightLabel, 0, 8, 114, 196, 12, ""},
        {1215, "COMBOBOX", kDropList, 0, 206, 114, 104, 101, ""},
        {317, "STATIC", kRightLabel, 0, 8, 130, 302, 12, ""},
        {-1, "STATIC", kLine, 0, 0, 147, 318, 1, ""},
        {300, "BUTTON", kPush, 0, 8, 152, 50, 16, ""},
        {303, "BUTTON", kPush, 0, 142, 152, 50, 16, ""},
        {301, "BUTTON", kPush, 0, 201, 152, 50, 16, ""},
        {206, "BUTTON", kDefault, 0, 260, 152, 50, 16, ""},
        {304, "BUTTON", kPush, 0, 83, 152, 50, 16, ""},
        {1213, "BUTTON", kCheck | BS_LEFTTEXT | BS_RIGHT | WS_GROUP, 0, 14, 80, 294, 12, ""}}});
    pages.push_back({203, kPage | DS_CENTER, {
        {-1, "STATIC", kLine, 0, 0, 0, 318, 1, ""},
        {1209, "STATIC", kLabel, 0, 8, 4, 302, 60, ""},
        {-1, "STATIC", kLine, 0, 0, 66, 302, 1, ""},
        {1204, "STATIC", kLabel, 0, 8, 70, 302, 40, ""},
        {-1, "STATIC", kLine, 0, 0, 147, 318, 1, ""},
        {1213, "BUTTON", kDefault, 0, 114, 152, 90, 16, ""},
        {1211, "BUTTON", (kCheck & ~WS_VISIBLE) | WS_DISABLED, 0, 14, 114, 296, 12, ""}}});
    const uint32_t sunken = kShown | SS_CENTER | SS_SUNKEN;
    pages.push_back({204, kPage | DS_CENTER, Join(ExpertRows(1301, 1401, 0), {
        {-1, "STATIC", kLine, 0, 0, 147, 318, 1, ""},
        {300, "BUTTON", kPush, 0, 8, 152, 50, 16, ""},
        {304, "BUTTON", kPush, 0, 83, 152, 50, 16, ""},
        {303, "STATIC", sunken, 0, 142, 152, 50, 16, ""},
        {301, "BUTTON", kDefault, 0, 201, 152, 50, 16, ""}})});
    pages.push_back({205, kPage | DS_CENTER, Join(ExpertRows(1501, 1601, 1610), {
        {-1, "STATIC", kLine, 0, 0, 147, 318, 1, ""},
        {300, "BUTTON", kPush, 0, 8, 152, 50, 16, ""},
        {304, "STATIC", sunken, 0, 83, 152, 50, 16, ""},
        {303, "BUTTON", kPush, 0, 142, 152, 50, 16, ""},
        {301, "BUTTON", kDefault, 0, 201, 152, 50, 16, ""}})});
    return pages;
}

TEST_F(ResourceTest, PageTemplatesHoldEveryControlAsLaidOut)
{
    for (const PageCase& page : Pages())
    {
        SCOPED_TRACE("template " + std::to_string(page.id));
        Template t;
        ASSERT_TRUE(ReadTemplate(m_pe, page.id, t));
        EXPECT_EQ(t.style, page.style);
        EXPECT_EQ(t.w, 318);
        EXPECT_EQ(t.h, 172);
        EXPECT_EQ(t.pointSize, 11);
        EXPECT_EQ(t.face, "Arial");
        EXPECT_EQ(t.title, "");
        ASSERT_EQ(t.controls.size(), page.controls.size());
        for (size_t i = 0; i < t.controls.size(); ++i)
            EXPECT_EQ(t.controls[i], page.controls[i]) << "control " << i << " in tab order";
    }
}

TEST_F(ResourceTest, IconGroupsHoldTheNamedSizesAsBitmaps)
{
    const std::vector<std::pair<int, std::vector<int>>> groups = {{128, {16, 32, 48}},
                                                                  {129, {16, 32}}};
    for (const auto& group : groups)
    {
        SCOPED_TRACE("icon group " + std::to_string(group.first));
        auto res = m_pe.Resource(14, group.first);
        ASSERT_NE(res.first, 0u);
        ASSERT_EQ(m_pe.U16(res.first + 2), 1) << "not an icon group";
        int count = m_pe.U16(res.first + 4);
        ASSERT_EQ(res.second, 6u + 14u * count);
        std::vector<int> sizes;
        for (int i = 0; i < count; ++i)
        {
            size_t e = res.first + 6 + 14 * i;
            int size = *m_pe.At(e);
            sizes.push_back(size);
            uint32_t bytes = m_pe.U32(e + 8);
            uint16_t iconId = m_pe.U16(e + 12);
            auto image = m_pe.Resource(3, iconId);
            ASSERT_NE(image.first, 0u) << "icon image " << iconId << " missing";
            EXPECT_EQ(image.second, bytes);
            // A bitmap image (readable by every Windows version): header size 40, width, and
            // height doubled for the mask.
            EXPECT_EQ(m_pe.U32(image.first), 40u);
            EXPECT_EQ(static_cast<int>(m_pe.U32(image.first + 4)), size);
            EXPECT_EQ(static_cast<int>(m_pe.U32(image.first + 8)), 2 * size);
        }
        EXPECT_EQ(sizes, group.second);
    }
}

TEST_F(ResourceTest, AcceleratorTableHoldsEscapeAsCommandTwo)
{
    auto res = m_pe.Resource(9, 130);
    ASSERT_NE(res.first, 0u);
    ASSERT_EQ(res.second, 8u) << "exactly one entry";
    // fFlags: FVIRTKEY | FNOINVERT, and 0x80 marking the last entry.
    EXPECT_EQ(m_pe.U16(res.first), 0x01 | 0x02 | 0x80);
    EXPECT_EQ(m_pe.U16(res.first + 2), 0x1B);
    EXPECT_EQ(m_pe.U16(res.first + 4), 2);
}

TEST_F(ResourceTest, ManifestAsksForNothingMoreThanTheInvokerAndCommonControlsSix)
{
    auto res = m_pe.Resource(24, 1);
    ASSERT_NE(res.first, 0u);
    std::string manifest(reinterpret_cast<const char*>(m_pe.At(res.first)), res.second);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
    size_t controls = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(controls, std::string::npos);
    size_t end = manifest.find("/>", controls);
    std::string identity = manifest.substr(controls, end - controls);
    EXPECT_NE(identity.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(identity.find("processorArchitecture=\"*\""), std::string::npos);
    // Without a compatibility section Windows reports at most 6.2, the versions the program
    // knows.
    EXPECT_EQ(manifest.find("compatibility"), std::string::npos);
    EXPECT_EQ(manifest.find("supportedOS"), std::string::npos);
}
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2)
    {
        fprintf(stderr, "usage: %s SETUP_EXE\n", argv[0]);
        return 2;
    }
    g_path = argv[1];
    return RUN_ALL_TESTS();
}
