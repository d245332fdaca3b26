// GString storage, mode switch and editing (see GString.h for the block layout).
#include "text/GString.h"

#include <stdlib.h>
#include <string.h>

namespace {

const char kEmptyNarrow[1] = { 0 };
const wchar_t kEmptyWide[1] = { 0 };

const unsigned kNarrowFlag = 0x80000000u;
const unsigned kSizeMask = 0x1FFFFFFFu;
const int kHeaderBytes = 4;
const long long kLargestBlock = 0x7FFFFFFF;

void WriteHeaderWord(unsigned char* block, unsigned word)
{
    block[0] = (unsigned char)word;
    block[1] = (unsigned char)(word >> 8);
    block[2] = (unsigned char)(word >> 16);
    block[3] = (unsigned char)(word >> 24);
}

unsigned ReadHeaderWord(const unsigned char* entry)
{
    return entry[0] | (entry[1] << 8) | (entry[2] << 16) | ((unsigned)entry[3] << 24);
}

// UTF-8 bytes of one UTF-16 unit, encoded on its own (surrogates are not paired).
int Utf8Size(wchar_t unit)
{
    if (unit < 0x80)
        return 1;
    return unit < 0x800 ? 2 : 3;
}

} // namespace

GString::GString()
    : buffer(nullptr), length(0), offset(0), allocated(0), blockSize(64), codePage(0), wide(0),
      formatOptions(0), dumpLineLength(80), scratch(nullptr)
{
}

GString::GString(wchar_t ch, int count)
    : GString()
{
    wide = 1;
    if (count > 0)
        AppendWideChar(ch, count);
}

GString::~GString()
{
    free(buffer);
    delete scratch;
}

unsigned char* GString::TextBytes() const
{
    return buffer ? buffer + kHeaderBytes + offset * UnitSize() : nullptr;
}

int GString::Capacity() const
{
    if (!buffer)
        return 0;
    int capacity = (allocated - kHeaderBytes) / UnitSize() - 1 - offset;
    return capacity < 0 ? 0 : capacity;
}

int GString::Room() const
{
    int room = Capacity() - length;
    return room < 0 ? 0 : room;
}

int GString::Clear()
{
    length = 0;
    offset = 0;
    Terminate();
    return 1;
}

int GString::ClearAs(int makeWide)
{
    wide = makeWide ? 1 : 0;
    return Clear();
}

int GString::Reserve(int total)
{
    if (total < 0)
        return 1;
    if (total <= length)
        return Compact();

    const int unit = UnitSize();
    long long target = length + length / 2;
    if (target < total)
        target = total;
    long long needed = (target + 1) * unit + kHeaderBytes;
    if (needed <= allocated)
        return target > Capacity() ? Compact() : 1;

    const int step = blockSize > 0 ? blockSize : 64;
    long long size = (needed + step - 1) / step * step;
    if (size > kLargestBlock)
        return 0;
    unsigned char* block = (unsigned char*)malloc((size_t)size);
    if (!block)
        return 0;
    if (buffer) {
        memcpy(block + kHeaderBytes, TextBytes(), (size_t)length * unit);
        free(buffer);
    }
    buffer = block;
    allocated = (int)size;
    offset = 0;
    Terminate();
    if ((unsigned)length <= kSizeMask)
        WriteHeaderWord(buffer, (wide ? 0 : kNarrowFlag) | (((unsigned)length * unit) & kSizeMask));
    return 1;
}

int GString::ReserveMore(int extra)
{
    if (extra <= 0 || Room() >= extra)
        return 1;
    long long total = (long long)length + extra;
    if (total > kLargestBlock)
        return 0;
    return Reserve((int)total);
}

int GString::Compact()
{
    if (!buffer)
        return 0;
    if (offset != 0) {
        memmove(buffer + kHeaderBytes, TextBytes(), (size_t)(length + 1) * UnitSize());
        offset = 0;
    }
    return 1;
}

int GString::Terminate()
{
    if (!buffer)
        return 0;
    unsigned char* end = TextBytes() + length * UnitSize();
    end[0] = 0;
    if (wide)
        end[1] = 0;
    return 1;
}

int GString::SetLength(int newLength)
{
    if (!buffer)
        return 0;
    const int capacity = Capacity();
    if (newLength < 0) {
        newLength = 0;
        for (int i = 0; i < capacity; i++) {
            bool zero = wide ? ((const wchar_t*)TextBytes())[i] == 0 : TextBytes()[i] == 0;
            if (zero) {
                newLength = i;
                break;
            }
        }
    } else if (newLength > capacity) {
        newLength = capacity;
    }
    length = newLength;
    if (length == 0)
        offset = 0;
    Terminate();
    return 1;
}

int GString::DropFront(int count)
{
    if (count <= 0)
        return 0;
    if (count > length)
        count = length;
    offset += count;
    length -= count;
    if (length == 0) {
        // The text moves back to the front of the block, where no terminator was written.
        offset = 0;
        Terminate();
    }
    return 1;
}

const char* GString::NarrowText(int from) const
{
    if (length == 0 || wide || from < 0)
        return kEmptyNarrow;
    return (const char*)TextBytes() + (from < length ? from : length);
}

const wchar_t* GString::WideText(int from) const
{
    if (length == 0 || !wide || from < 0)
        return kEmptyWide;
    return (const wchar_t*)TextBytes() + (from < length ? from : length);
}

GString* GString::PrepareScratch()
{
    if (!scratch) {
        // The program's operator new answers null on failure (built with -fcheck-new).
        scratch = new GString;
        if (!scratch)
            return nullptr;
    }
    scratch->Clear();
    scratch->codePage = codePage;
    return scratch;
}

const wchar_t* GString::MakeWide(int page)
{
    page = page == 0 ? 0 : codePage;
    if (!wide) {
        GString* other = PrepareScratch();
        if (!other || !other->AssignAsWide(this))
            return nullptr;
        ClearAs(1);
        if (!AppendWideDirect(other->WideText(), other->length))
            return nullptr;
    }
    codePage = page;
    return WideText(0);
}

const char* GString::MakeNarrow(int page)
{
    page = page == 0 ? 0 : codePage;
    if (wide) {
        if (length == 0) {
            ClearAs(0);
        } else {
            GString* other = PrepareScratch();
            if (!other)
                return nullptr;
            other->ClearAs(0);
            if (!other->AppendWide(WideText(), length))
                return nullptr;
            if (!AssignAsNarrow(other))
                return nullptr;
        }
    }
    codePage = page;
    return NarrowText(0);
}

wchar_t* GString::BeginWideWrite(int extra)
{
    if (!MakeWide(-1) || !ReserveMore(extra) || !buffer)
        return nullptr;
    return (wchar_t*)TextBytes() + length;
}

char* GString::BeginNarrowWrite(int extra)
{
    if (!MakeNarrow(-1) || !ReserveMore(extra) || !buffer)
        return nullptr;
    return (char*)TextBytes() + length;
}

int GString::AssignWide(const wchar_t* text, int count)
{
    ClearAs(1);
    return AppendWideDirect(text, count);
}

int GString::AssignNarrow(const char* text, int count, int page)
{
    ClearAs(0);
    return AppendNarrowDirect(text, count, page);
}

int GString::AssignNarrowAsWide(const char* text, int count, int page)
{
    ClearAs(1);
    return AppendNarrow(text, count, page);
}

int GString::Assign(const GString& other)
{
    if (&other == this)
        return 1;
    ClearAs(other.wide);
    codePage = other.codePage;
    if (wide)
        return AppendWideDirect(other.WideText(), other.length);
    return AppendNarrowDirect(other.NarrowText(), other.length, other.codePage);
}

int GString::AssignAsWide(const GString* other)
{
    ClearAs(1);
    if (!other)
        return 0;
    codePage = other->codePage;
    if (other->wide)
        return AppendWideDirect(other->WideText(), other->length);
    return AppendNarrow(other->NarrowText(), other->length, other->codePage);
}

int GString::AssignAsNarrow(const GString* other)
{
    ClearAs(0);
    if (!other)
        return 0;
    codePage = other->codePage;
    if (other->wide)
        return AppendWide(other->WideText(), other->length);
    return AppendNarrowDirect(other->NarrowText(), other->length, other->codePage);
}

int GString::AssignStored(const void* entry)
{
    if (!entry) {
        Clear();
        return 0;
    }
    const unsigned char* bytes = (const unsigned char*)entry;
    unsigned word = ReadHeaderWord(bytes);
    int size = (int)(word & kSizeMask);
    if (word & kNarrowFlag)
        return AssignNarrow((const char*)(bytes + 4), size, -1);
    return AssignWide((const wchar_t*)(bytes + 4), size);
}

int GString::AppendWideDirect(const wchar_t* text, int count)
{
    if (!text || count == 0)
        return 1;
    if (!wide)
        return 0;
    if (count < 0)
        count = WideLength(text);
    if (count == 0)
        return 1;
    // The text may be part of this string's own block, which the reservation can move.
    const unsigned char* source = (const unsigned char*)text;
    long long inside = buffer && source >= buffer && source < buffer + allocated ? source - buffer : -1;
    if (!ReserveMore(count))
        return 0;
    if (inside >= 0)
        source = buffer + inside;
    memmove(TextBytes() + length * 2, source, (size_t)count * 2);
    length += count;
    Terminate();
    return 1;
}

int GString::AppendNarrowDirect(const char* text, int count, int)
{
    if (wide)
        return 0;
    if (!text || count == 0)
        return 1;
    if (count < 0)
        count = TextLength(text);
    if (count == 0)
        return 1;
    const unsigned char* source = (const unsigned char*)text;
    long long inside = buffer && source >= buffer && source < buffer + allocated ? source - buffer : -1;
    if (!ReserveMore(count))
        return 0;
    if (inside >= 0)
        source = buffer + inside;
    memmove(TextBytes() + length, source, (size_t)count);
    length += count;
    Terminate();
    return 1;
}

int GString::AppendWide(const wchar_t* text, int count)
{
    if (wide)
        return AppendWideDirect(text, count);
    if (!text || count == 0)
        return 1;
    if (count < 0)
        count = WideLength(text);
    return AppendUtf16AsUtf8(text, count);
}

int GString::AppendNarrow(const char* text, int count, int page)
{
    if (!wide)
        return AppendNarrowDirect(text, count, page);
    if (!text || count == 0)
        return 1;
    if (count < 0)
        count = TextLength(text);
    return AppendUtf8AsUtf16(text, count);
}

// Narrow string: appends `count` UTF-16 units encoded as UTF-8, one unit at a time.
int GString::AppendUtf16AsUtf8(const wchar_t* text, int count)
{
    if (count <= 0)
        return 1;
    long long size = 0;
    for (int i = 0; i < count; i++)
        size += Utf8Size(text[i]);
    if (size > kLargestBlock)
        return 0;
    unsigned char* out = (unsigned char*)BeginNarrowWrite((int)size);
    if (!out)
        return 0;
    for (int i = 0; i < count; i++) {
        unsigned v = text[i];
        if (v < 0x80) {
            *out++ = (unsigned char)v;
        } else if (v < 0x800) {
            *out++ = (unsigned char)(0xC0 | (v >> 6));
            *out++ = (unsigned char)(0x80 | (v & 0x3F));
        } else {
            *out++ = (unsigned char)(0xE0 | (v >> 12));
            *out++ = (unsigned char)(0x80 | ((v >> 6) & 0x3F));
            *out++ = (unsigned char)(0x80 | (v & 0x3F));
        }
    }
    length += (int)size;
    Terminate();
    return 1;
}

// Wide string: appends `count` bytes of UTF-8 decoded to UTF-16. Sequences of four bytes and
// malformed input fail the whole append.
int GString::AppendUtf8AsUtf16(const char* text, int count)
{
    if (count <= 0)
        return 1;
    const unsigned char* in = (const unsigned char*)text;
    int characters = 0;
    for (int i = 0; i < count;) {
        unsigned char b = in[i];
        characters++;
        if (b < 0x80)
            i += 1;
        else if ((b & 0xE0) == 0xC0)
            i += 2;
        else if ((b & 0xF0) == 0xE0)
            i += 3;
        else if ((b & 0xF8) == 0xF0)
            i += 4;
        else
            break;
    }
    wchar_t* out = BeginWideWrite(characters);
    if (!out)
        return 0;
    int produced = 0;
    for (int i = 0; i < count;) {
        unsigned b = in[i];
        if (b < 0x80) {
            out[produced++] = (wchar_t)b;
            i += 1;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < count && (in[i + 1] & 0xC0) == 0x80) {
            out[produced++] = (wchar_t)(((b & 0x1F) << 6) | (in[i + 1] & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < count && (in[i + 1] & 0xC0) == 0x80
                   && (in[i + 2] & 0xC0) == 0x80) {
            out[produced++] = (wchar_t)(((b & 0x0F) << 12) | ((in[i + 1] & 0x3F) << 6)
                                        | (in[i + 2] & 0x3F));
            i += 3;
        } else {
            Terminate(); // the decoded units overwrote the old terminator
            return 0;
        }
    }
    length += produced;
    Terminate();
    return 1;
}

int GString::Append(const GString& other)
{
    if (other.wide)
        return AppendWide(other.WideText(), other.length);
    return AppendNarrow(other.NarrowText(), other.length, other.codePage);
}

int GString::AppendChar(char ch, int count)
{
    if (ch == 0 || count <= 0)
        return 1;
    if (wide)
        return (unsigned char)ch < 0x80 ? AppendWideChar((wchar_t)ch, count) : 0;
    if (!ReserveMore(count))
        return 0;
    memset(TextBytes() + length, (unsigned char)ch, (size_t)count);
    length += count;
    Terminate();
    return 1;
}

int GString::AppendWideChar(wchar_t ch, int count)
{
    if (ch == 0 || count <= 0)
        return 1;
    if (!wide)
        return ch < 0x80 ? AppendChar((char)ch, count) : 0;
    if (!ReserveMore(count))
        return 0;
    wchar_t* out = (wchar_t*)TextBytes() + length;
    for (int i = 0; i < count; i++)
        out[i] = ch;
    length += count;
    Terminate();
    return 1;
}

int GString::AppendWideUnit(wchar_t ch)
{
    if (!wide || !ReserveMore(1))
        return 0;
    ((wchar_t*)TextBytes())[length++] = ch;
    return 1;
}

int GString::AppendNewLine()
{
    if (wide)
        return AppendWideDirect(L"\r\n", 2);
    return AppendNarrowDirect("\r\n", 2, -1);
}

int GString::AppendUnlessEndsWith(const wchar_t* text, int count)
{
    if (!text || text[0] == 0)
        return 0;
    if (count < 0)
        count = WideLength(text);
    if (!wide) {
        GString* other = PrepareScratch();
        if (!other)
            return 0;
        other->ClearAs(0);
        if (!other->AppendWide(text, count))
            return 0;
        if (length >= other->length
            && memcmp(TextBytes() + length - other->length, other->NarrowText(), other->length) == 0)
            return 1;
        return AppendNarrowDirect(other->NarrowText(), other->length, -1);
    }
    if (length >= count
        && memcmp((const wchar_t*)TextBytes() + length - count, text, (size_t)count * 2) == 0)
        return 1;
    return AppendWideDirect(text, count);
}

int GString::AppendUnlessEndsWith(const char* text, int count)
{
    if (!text || text[0] == 0)
        return 0;
    if (count < 0)
        count = TextLength(text);
    if (wide) {
        GString* other = PrepareScratch();
        if (!other)
            return 0;
        other->ClearAs(1);
        if (!other->AppendNarrow(text, count, -1))
            return 0;
        if (length >= other->length
            && memcmp((const wchar_t*)TextBytes() + length - other->length, other->WideText(),
                      (size_t)other->length * 2) == 0)
            return 1;
        return AppendWideDirect(other->WideText(), other->length);
    }
    if (length >= count && memcmp(TextBytes() + length - count, text, (size_t)count) == 0)
        return 1;
    return AppendNarrowDirect(text, count, -1);
}

int GString::AppendPathWide(const wchar_t* part, int count)
{
    if (!wide) {
        GString* other = PrepareScratch();
        if (!other)
            return 0;
        other->ClearAs(0);
        if (!other->AppendWide(part, count))
            return 0;
        return AppendPathNarrow(other->NarrowText(), other->length);
    }
    if (!part)
        count = 0;
    else if (count < 0)
        count = WideLength(part);
    if (count > 0 && (part[0] == L'\\' || part[0] == L'/')) {
        part++;
        count--;
    }
    AppendUnlessEndsWith(L"\\", 1);
    if (count > 0)
        AppendWideDirect(part, count);
    return 1;
}

int GString::AppendPathNarrow(const char* part, int count)
{
    if (wide) {
        GString* other = PrepareScratch();
        if (!other)
            return 0;
        other->ClearAs(1);
        if (!other->AppendNarrow(part, count, -1))
            return 0;
        return AppendPathWide(other->WideText(), other->length);
    }
    if (!part)
        count = 0;
    else if (count < 0)
        count = TextLength(part);
    if (count > 0 && (part[0] == '\\' || part[0] == '/')) {
        part++;
        count--;
    }
    AppendUnlessEndsWith("\\", 1);
    if (count > 0)
        AppendNarrowDirect(part, count, -1);
    return 1;
}
