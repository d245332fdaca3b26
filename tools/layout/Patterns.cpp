#include "Patterns.h"

#include "Ia64Image.h"
#include "KbdWalker.h"
#include "PeImage.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace {

// Short runs would match by chance in a library patched later; never go below this.
const size_t kMinPattern = 8;
const size_t kMaxPattern = 256;

} // namespace

bool CPatternFinder::FindTopTable(const CPeImage& pe, uint64_t& top, std::string& error)
{
    uint32_t rva = pe.FindExport("KbdLayerDescriptor");
    if (rva == 0) {
        error = "does not export KbdLayerDescriptor";
        return false;
    }
    // The host cannot call the function; it reads the address from the function's one
    // instruction instead (a relocated absolute move on i686, a RIP-relative lea on x86_64,
    // gp plus the immediate of an addl on IA64, where the export is the function descriptor).
    if (pe.Machine() == kMachineIa64) {
        uint8_t descriptor[16], code[16];
        if (!pe.Read(pe.Base() + rva, descriptor, sizeof(descriptor))) {
            error = "function descriptor outside the image";
            return false;
        }
        uint64_t entry = 0, gp = 0;
        for (int i = 7; i >= 0; --i) {
            entry = (entry << 8) | descriptor[i];
            gp = (gp << 8) | descriptor[8 + i];
        }
        int64_t offset;
        if (!pe.Read(entry, code, sizeof(code))) {
            error = "function entry outside the image";
            return false;
        }
        if (!CIa64Image::ReadTopTableOffset(CIa64Image::UnpackBundle(code), offset)) {
            error = "KbdLayerDescriptor is not the expected one-bundle function";
            return false;
        }
        top = gp + static_cast<uint64_t>(offset);
        return true;
    }
    std::vector<uint8_t> code(16);
    if (!pe.Read(pe.Base() + rva, code.data(), code.size())) {
        error = "export outside the image";
        return false;
    }
    top = 0;
    if (pe.PointerSize() == 4 && code[0] == 0xB8) {   // mov eax, imm32
        std::memcpy(&top, &code[1], 4);
    } else if (pe.PointerSize() == 8 && code[0] == 0x48 && code[1] == 0x8D && code[2] == 0x05) {   // lea rax, [rip+d]
        int32_t d;
        std::memcpy(&d, &code[3], 4);
        top = pe.Base() + rva + 7 + static_cast<int64_t>(d);
    } else {
        error = "KbdLayerDescriptor is not the expected one-instruction function";
        return false;
    }
    return true;
}

bool CPatternFinder::Locate(PatternLibrary& lib, std::string& error)
{
    CPeImage pe;
    if (!pe.Load(lib.bytes) || !pe.Map(pe.ImageBase())) {
        error = lib.name + ": " + pe.Error();
        return false;
    }
    uint64_t top = 0;
    if (!FindTopTable(pe, top, error)) {
        error = lib.name + ": " + error;
        return false;
    }
    CKbdWalker walker(pe, pe.PointerSize());
    KbdLayout layout;
    KbdTableAddresses where;
    if (!walker.Walk(top, layout, &where)) {
        error = lib.name + ": " + walker.Error();
        return false;
    }
    const uint64_t addresses[kPatTableCount] = {where.decimalChars, where.scanToVk, where.e0, where.e1};
    for (int t = 0; t < kPatTableCount; ++t) {
        lib.offset[t] = addresses[t] ? pe.FileOffset(addresses[t]) : -1;
        if (lib.offset[t] < 0) {
            error = lib.name + ": a patched table is missing or not backed by file bytes";
            return false;
        }
    }
    return true;
}

int CPatternFinder::CountOccurrences(const std::vector<uint8_t>& h, const std::vector<uint8_t>& n)
{
    if (n.empty() || n.size() > h.size())
        return 0;
    int count = 0;
    for (auto it = h.begin();; ++it) {
        it = std::search(it, h.end(), n.begin(), n.end());
        if (it == h.end())
            return count;
        ++count;
    }
}

bool CPatternFinder::Compute(const std::vector<PatternLibrary>& libs, std::map<int, std::string>& patterns, std::string& error)
{
    patterns.clear();
    struct Job {
        int id;
        PatternTable table;
        int variant;   // -1: every library
    };
    const Job jobs[] = {{kPatternDecimalId, kPatDecimal, -1}, {kPatternScanId, kPatScan, 0}, {kPatternScanId + 1, kPatScan, 1},
                        {kPatternScanId + 2, kPatScan, 2},    {kPatternE0Id, kPatE0, -1},     {kPatternE1Id, kPatE1, -1}};
    for (const Job& job : jobs) {
        std::vector<const PatternLibrary*> set;
        for (const PatternLibrary& l : libs)
            if (job.variant < 0 || l.variant == job.variant)
                set.push_back(&l);
        if (set.empty()) {
            error = "no library for pattern " + std::to_string(job.id);
            return false;
        }
        bool found = false;
        for (size_t len = kMinPattern; len <= kMaxPattern && !found; len += 2) {
            const PatternLibrary& first = *set[0];
            if (static_cast<size_t>(first.offset[job.table]) + len > first.bytes.size())
                break;
            std::vector<uint8_t> candidate(first.bytes.begin() + first.offset[job.table],
                                           first.bytes.begin() + first.offset[job.table] + len);
            bool ok = true;
            for (const PatternLibrary* l : set) {
                size_t at = static_cast<size_t>(l->offset[job.table]);
                if (at + len > l->bytes.size() || !std::equal(candidate.begin(), candidate.end(), l->bytes.begin() + at) ||
                    CountOccurrences(l->bytes, candidate) != 1) {
                    ok = false;
                    break;
                }
            }
            // A variant's scan-code pattern also names its variant: it occurs in no library of
            // another variant, so a library of the wrong row is refused rather than patched.
            for (const PatternLibrary& l : libs)
                if (ok && job.variant >= 0 && l.variant != job.variant && CountOccurrences(l.bytes, candidate) != 0)
                    ok = false;
            if (ok) {
                patterns[job.id] = ToHex(candidate.data(), candidate.size());
                found = true;
            }
        }
        if (!found) {
            error = "pattern " + std::to_string(job.id) + ": no run of bytes from the table's start is common to all " +
                    std::to_string(set.size()) + " libraries, unique in each and absent from other variants";
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> CPatternFinder::FromHex(const std::string& hex)
{
    std::vector<uint8_t> out;
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
    if (hex.size() % 2)
        return {};
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return {};
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return out;
}

std::string CPatternFinder::ToHex(const uint8_t* bytes, size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < size; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

std::string CPatternFinder::Format(const std::map<int, std::string>& patterns)
{
    std::string s = "# Byte patterns of the keyboard-layout libraries, generated from the built libraries by\n"
                    "# kbdlayout patterns. Do not edit.\n";
    for (const auto& p : patterns)
        s += std::to_string(p.first) + " " + p.second + "\n";
    return s;
}

bool CPatternFinder::Parse(const std::string& text, std::map<int, std::string>& patterns)
{
    patterns.clear();
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string id, value;
        if (!(ls >> id) || id[0] == '#')
            continue;
        if (!(ls >> value) || id.find_first_not_of("0123456789") != std::string::npos)
            return false;
        patterns[std::stoi(id)] = value;
    }
    return true;
}
