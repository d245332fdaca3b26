#include "payload/AssetStore.h"
#include "payload/DataBuffer.h"
#include "payload/BlobHeader.h"
#include "payload/Guard.h"
#include "tools/packer/BlobEncoder.h"
#include "tools/packer/KeyMaterial.h"
#include "tools/packer/Packer.h"
#include "tools/packer/StringSource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const char kGoodManifest[] =
    "seed seed.txt\n"
    "common strings/common.txt\n"
    "ui0 strings/ui0.txt\n"
    "ui1 strings/ui1.txt\n"
    "setup strings/setup.txt\n"
    "licence0 l0.txt\n"
    "licence1 l1.txt\n"
    "layouts ${layouts}/s{set}r{row}c{slot}.dll\n"
    "docmain docs/main.txt\n"
    "page docs/page.txt\n"
    "docsecond docs/second.txt\n";

// A complete, valid content folder; a case then spoils one file.
fs::path MakeContent(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("kbdpack-test-" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    Write(dir / "store.manifest", kGoodManifest);
    Write(dir / "seed.txt", "test seed\n");
    Write(dir / "strings/common.txt", "# common\n86 0415\n");
    Write(dir / "strings/ui0.txt", "93 Caption\n");
    Write(dir / "strings/ui1.txt", "93 Podpis\n");
    Write(dir / "strings/setup.txt", "7 setup\n");
    Write(dir / "l0.txt", "licence 0");
    Write(dir / "l1.txt", "licence 1");
    Write(dir / "docs/main.txt", "main");
    Write(dir / "docs/page.txt", "page");
    Write(dir / "docs/second.txt", "second");
    for (int s = 0; s < 2; ++s)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 13; ++c) {
                char name[32];
                std::snprintf(name, sizeof(name), "layouts/s%dr%dc%02d.dll", s, r, c);
                Write(dir / name, name);
            }
    return dir;
}

PackResult PackIn(const fs::path& dir, PackError* error)
{
    PackOptions o;
    o.manifest = (dir / "store.manifest").string();
    o.storeFile = (dir / "out/store.bin").string();
    o.sourceFile = (dir / "out/store.cpp").string();
    o.variables["layouts"] = (dir / "layouts").string();
    fs::create_directories(dir / "out");
    return Pack(o, error);
}

std::string RunPacker(const std::string& arguments, int* exitCode)
{
    const std::string command = std::string(KBD_PACKER) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pipe);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

// The content folders live only as long as the test program.
struct RemoveContent : ::testing::Environment
{
    void TearDown() override { fs::remove_all(fs::temp_directory_path() / ("kbdpack-test-" + std::to_string(::getpid()))); }
};
const auto* const kRemoveContent = ::testing::AddGlobalTestEnvironment(new RemoveContent);

} // namespace

TEST(Packer, RefusesBadContentNamingFileAndLine)
{
    struct { const char* name; const char* file; const char* text; const char* where; const char* what; } cases[] = {
        { "duplicate id", "strings/ui0.txt", "93 a\n# x\n0x5D b\n", "strings/ui0.txt:3:", "already defined on line 1" },
        { "invalid UTF-8", "strings/ui1.txt", "93 ok\n94 bad \xC3\x28\n", "strings/ui1.txt:2:", "invalid UTF-8" },
        { "overlong UTF-8", "strings/ui1.txt", "94 \xC0\xAF\n", "strings/ui1.txt:1:", "invalid UTF-8" },
        { "unknown escape", "strings/common.txt", "\n86 a\\qb\n", "strings/common.txt:2:", "unknown escape '\\q'" },
        { "backslash at the end", "strings/setup.txt", "7 a\\\n", "strings/setup.txt:1:", "at the end of the line" },
        { "bad id", "strings/setup.txt", "seven a\n", "strings/setup.txt:1:", "not a string id" },
        { "id over 32 bits", "strings/setup.txt", "0x100000000 a\n", "strings/setup.txt:1:", "not a string id" },
        { "empty table", "strings/setup.txt", "# nothing\n", "strings/setup.txt:", "no entries" },
        { "missing role", "store.manifest", "seed seed.txt\n", "store.manifest:1:", "missing role 'common'" },
        { "unknown role", "store.manifest", "seed seed.txt\nicon x.ico\n", "store.manifest:2:", "unknown role 'icon'" },
        { "duplicate role", "store.manifest", "seed seed.txt\nseed seed.txt\n", "store.manifest:2:", "already given on line 1" },
        { "undefined variable", "store.manifest", "layouts ${nowhere}/x\n", "store.manifest:1:", "no value for '${nowhere}'" },
    };
    for (auto c : cases) {
        const fs::path dir = MakeContent("bad");
        Write(dir / c.file, c.text);
        PackError error;
        EXPECT_EQ(kPackRefused, PackIn(dir, &error)) << c.name;
        const std::string text = error.Text();
        EXPECT_NE(std::string::npos, text.find(c.where)) << c.name << ": " << text;
        EXPECT_NE(std::string::npos, text.find(c.what)) << c.name << ": " << text;
        EXPECT_FALSE(fs::exists(dir / "out/store.bin")) << c.name << ": nothing is written on refusal";
    }
}

TEST(Packer, MissingFileNamesTheManifestLine)
{
    const fs::path dir = MakeContent("missing");
    fs::remove(dir / "docs/page.txt");
    fs::remove(dir / "layouts/s1r2c12.dll");
    PackError error;
    EXPECT_EQ(kPackRefused, PackIn(dir, &error));
    EXPECT_NE(std::string::npos, error.Text().find("store.manifest:8: cannot read layouts file")) << error.Text();
    EXPECT_NE(std::string::npos, error.Text().find("s1r2c12.dll")) << error.Text();
}

TEST(Packer, ExitCodesAndReproducibleOutput)
{
    const fs::path dir = MakeContent("twice");
    const std::string manifest = (dir / "store.manifest").string();
    const std::string define = "-D layouts=" + (dir / "layouts").string();
    int code = -1;
    for (const char* sub : { "a", "b" }) {
        fs::create_directories(dir / sub);
        const std::string out = (dir / sub).string();
        RunPacker(define + " " + manifest + " " + out + "/store.bin " + out + "/store.cpp", &code);
        EXPECT_EQ(0, code);
    }
    EXPECT_FALSE(Read(dir / "a/store.bin").empty());
    EXPECT_EQ(Read(dir / "a/store.bin"), Read(dir / "b/store.bin"));
    EXPECT_EQ(Read(dir / "a/store.cpp"), Read(dir / "b/store.cpp"));

    const std::string usage = RunPacker(manifest, &code);
    EXPECT_EQ(2, code);
    EXPECT_NE(std::string::npos, usage.find("usage: kbdpack"));

    Write(dir / "strings/ui0.txt", "93 \\x\n");
    const std::string refused = RunPacker(define + " " + manifest + " " + (dir / "c.bin").string() + " " + (dir / "c.cpp").string(), &code);
    EXPECT_EQ(1, code);
    EXPECT_NE(std::string::npos, refused.find("ui0.txt:1: unknown escape")) << refused;
}

TEST(Packer, StringTableLooksUpAfterPackingAndDecoding)
{
    std::vector<StringEntry> entries;
    PackError error;
    ASSERT_EQ(1, ParseStringSource("t.txt",
                                   "0x80000000 high\n0x7FFFFFFF low\n5 tab\\there\\sand\\\\\n"
                                   "6 \xF0\x9F\x98\x80 wide\n0xFFFFFFFF last\n0 first\n7 a\\r\\nb\n",
                                   &entries, &error)) << error.Text();
    KeyMaterial key;
    std::string why;
    ASSERT_EQ(1, DeriveKeyMaterial("seed", &key, &why)) << why;
    const Bytes table = BuildStringTable(entries);
    const Bytes blob = SealBlob(table, DeflateBest(table).stream, (uint32_t)entries.size(), key.key.data(), (int)key.key.size());

    CGuard guard(key.parameters);
    ASSERT_EQ(1, guard.Load(key.scrambled.data(), (int)key.scrambled.size()));
    int length = (int)blob.size(), items = 0;
    unsigned char* data = guard.Decode(blob.data(), &length, &items);
    ASSERT_NE(nullptr, data);
    DataBuffer buffer;
    ASSERT_EQ(1, buffer.Attach(data, items, length));

    auto narrow = [&](uint32_t id) {
        const unsigned char* e = buffer.Lookup(id);
        if (!e || !(ReadLe32(e) & kStoredNarrowBit))
            return std::string("(none)");
        return std::string((const char*)e + 4, ReadLe32(e) & kStoredLengthMask);
    };
    EXPECT_EQ("first", narrow(0));
    EXPECT_EQ("last", narrow(0xFFFFFFFFu));
    EXPECT_EQ("low", narrow(0x7FFFFFFFu));
    EXPECT_EQ("high", narrow(0x80000000u));
    EXPECT_EQ("tab\there and\\", narrow(5));
    EXPECT_EQ("a\r\nb", narrow(7));
    // Beyond U+FFFF the entry is wide: a surrogate pair, a space and four letters.
    const unsigned char* wide = buffer.Lookup(6);
    ASSERT_NE(nullptr, wide);
    EXPECT_EQ(7u, ReadLe32(wide));
    EXPECT_EQ(0xD83D, wide[4] | (wide[5] << 8));
    EXPECT_EQ(0xDE00, wide[6] | (wide[7] << 8));
    EXPECT_EQ(nullptr, buffer.Lookup(1));
}

TEST(Packer, KeyMaterialIsFixedBySeedAndRecoveredByLoad)
{
    KeyMaterial a, b, c;
    std::string why;
    ASSERT_EQ(1, DeriveKeyMaterial("one seed", &a, &why));
    ASSERT_EQ(1, DeriveKeyMaterial("one seed", &b, &why));
    ASSERT_EQ(1, DeriveKeyMaterial("another seed", &c, &why));
    EXPECT_EQ(a.scrambled, b.scrambled);
    EXPECT_EQ(a.key, b.key);
    EXPECT_NE(a.key, c.key);
    ASSERT_EQ((size_t)kCipherKeyLength, a.key.size());
    CGuard guard(a.parameters);
    ASSERT_EQ(1, guard.Load(a.scrambled.data(), kKeyBlobLength));
    EXPECT_EQ(0, std::memcmp(a.key.data(), guard.keyBlob + a.parameters.keyOffset, kCipherKeyLength));
    // The key does not stand in the stored blob as it is.
    EXPECT_EQ(a.scrambled.end(), std::search(a.scrambled.begin(), a.scrambled.end(), a.key.begin(), a.key.begin() + 16));
}

namespace {

// Blob k of a packed store file, walked through the records' size fields.
Bytes StoredBlob(const std::string& store, int blob)
{
    size_t at = 0;
    for (int record = 0; record < kStoreRecordCount; ++record) {
        if (at + 8 > store.size())
            break;
        const uint32_t sizeA = ReadLe32((const unsigned char*)store.data() + at);
        const uint32_t sizeB = ReadLe32((const unsigned char*)store.data() + at + 4);
        const size_t a = at + 8, b = a + sizeA;
        if (blob == 2 * record)
            return Bytes(store.begin() + a, store.begin() + a + sizeA);
        if (blob == 2 * record + 1)
            return Bytes(store.begin() + b, store.begin() + b + sizeB);
        at = b + sizeB;
    }
    return Bytes();
}

// The decoded bytes of a blob, or "(fails)".
std::string DecodedBlob(const fs::path& dir, int blob)
{
    KeyMaterial key;
    std::string why;
    if (!DeriveKeyMaterial(Read(dir / "seed.txt"), &key, &why))
        return "(no key)";
    CGuard guard(key.parameters);
    if (!guard.Load(key.scrambled.data(), (int)key.scrambled.size()))
        return "(no key)";
    Bytes stored = StoredBlob(Read(dir / "out/store.bin"), blob);
    int length = (int)stored.size(), items = 0;
    unsigned char* data = guard.Decode(stored.data(), &length, &items);
    if (!data)
        return "(fails)";
    std::string text((const char*)data, (size_t)length);
    free(data);
    return text;
}

std::string NarrowEntry(const std::string& table, uint32_t count, uint32_t id)
{
    DataBuffer buffer;
    unsigned char* copy = (unsigned char*)malloc(table.size() + 2);
    std::memcpy(copy, table.data(), table.size());
    if (!buffer.Attach(copy, (int)count, (int)table.size()))
        return "(no table)";
    const unsigned char* e = buffer.Lookup(id);
    if (!e)
        return "(none)";
    return std::string((const char*)e + 4, ReadLe32(e) & kStoredLengthMask);
}

} // namespace

TEST(Packer, StringTableRoleMergesSeveralFiles)
{
    const fs::path dir = MakeContent("merge");
    std::string manifest = kGoodManifest;
    manifest.replace(manifest.find("common strings/common.txt"), 25, "common strings/common.txt ${layouts}/patterns.txt");
    Write(dir / "store.manifest", manifest);
    Write(dir / "layouts/patterns.txt", "# generated\n146 2E002E00\n147 FF001B00\n");
    PackError error;
    ASSERT_EQ(kPackDone, PackIn(dir, &error)) << error.Text();
    const std::string table = DecodedBlob(dir, kBlobCommonStrings);
    EXPECT_EQ("0415", NarrowEntry(table, 3, 86));
    EXPECT_EQ("2E002E00", NarrowEntry(table, 3, 146));
    EXPECT_EQ("FF001B00", NarrowEntry(table, 3, 147));

    // An id defined in two files names the second place and the first.
    Write(dir / "layouts/patterns.txt", "146 2E002E00\n\n86 0409\n");
    fs::remove_all(dir / "out");
    EXPECT_EQ(kPackRefused, PackIn(dir, &error));
    EXPECT_NE(std::string::npos, error.Text().find("patterns.txt:3: string id 86 is already defined in")) << error.Text();
    EXPECT_NE(std::string::npos, error.Text().find("strings/common.txt:2")) << error.Text();
    EXPECT_FALSE(fs::exists(dir / "out/store.bin"));
}

TEST(Packer, ManifestLineRefusals)
{
    struct { const char* name; const char* extra; const char* what; } cases[] = {
        { "two files for a licence", "licence0 l0.txt l1.txt\n", "role 'licence0' takes one file" },
        { "same file twice", "common strings/common.txt strings/common.txt\n", "'strings/common.txt' is given twice" },
        { "slot out of range", "failing-slots 3 13\n", "'13' is not a catalogue slot" },
        { "slot not a number", "failing-slots x\n", "'x' is not a catalogue slot" },
        { "slot twice", "failing-slots 6 6\n", "slot 6 is listed twice" },
        { "no slot", "failing-slots\n", "'failing-slots' names no slot" },
        { "directive twice", "failing-slots 3\nfailing-slots 6\n", "'failing-slots' is already given on line" },
    };
    for (auto c : cases) {
        const fs::path dir = MakeContent("lines");
        std::string manifest = kGoodManifest;
        // The case's line replaces the role it names, or is added.
        const std::string role = std::string(c.extra).substr(0, std::string(c.extra).find_first_of(" \n"));
        const size_t at = manifest.find(role + " ");
        if (role != "failing-slots" && at != std::string::npos)
            manifest.erase(at, manifest.find('\n', at) + 1 - at);
        manifest += c.extra;
        Write(dir / "store.manifest", manifest);
        PackError error;
        EXPECT_EQ(kPackRefused, PackIn(dir, &error)) << c.name;
        EXPECT_NE(std::string::npos, error.Text().find("store.manifest:")) << c.name << ": " << error.Text();
        EXPECT_NE(std::string::npos, error.Text().find(c.what)) << c.name << ": " << error.Text();
    }
}

TEST(Packer, FailingSlotsHoldBlobsThatDoNotDecode)
{
    const fs::path dir = MakeContent("failing");
    Write(dir / "store.manifest", std::string(kGoodManifest) + "failing-slots 3 9\n");
    for (int s = 0; s < 2; ++s)
        for (int r = 0; r < 3; ++r)
            for (int c : { 3, 9 }) {
                char name[32];
                std::snprintf(name, sizeof(name), "layouts/s%dr%dc%02d.dll", s, r, c);
                Write(dir / name, "");
            }
    fs::remove(dir / "layouts/s1r2c09.dll");  // a missing file is as good as an empty one
    PackError error;
    ASSERT_EQ(kPackDone, PackIn(dir, &error)) << error.Text();
    for (int s = 0; s < 2; ++s)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 13; ++c) {
                char name[32];
                std::snprintf(name, sizeof(name), "layouts/s%dr%dc%02d.dll", s, r, c);
                const std::string decoded = DecodedBlob(dir, CatalogueBlobNumber(s, r, c));
                if (c == 3 || c == 9)
                    EXPECT_EQ("(fails)", decoded) << name;
                else
                    EXPECT_EQ(name, decoded) << name;
            }

    // A library that appears in a failing slot would never ship: the packer says so.
    Write(dir / "layouts/s0r1c03.dll", "built");
    fs::remove_all(dir / "out");
    EXPECT_EQ(kPackRefused, PackIn(dir, &error));
    EXPECT_NE(std::string::npos, error.Text().find("store.manifest:12:")) << error.Text();
    EXPECT_NE(std::string::npos, error.Text().find("s0r1c03.dll' is a built library (5 bytes)")) << error.Text();
}
