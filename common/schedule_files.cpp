#include "schedule_files.h"

#include "line_file.h"

#include <map>
#include <optional>

namespace fs = std::filesystem;

namespace hall {
namespace {

// A saved line is about a kilobyte; the first read is small and only a longer
// line is read again with the real limit. Fields have no length limit, but a
// line beyond a few MiB is no schedule an operator typed.
constexpr std::size_t kFirstReadLimit = 64 * 1024;
constexpr std::size_t kReadLimit = 8 * 1024 * 1024;

using Pieces = std::map<std::string, std::string, std::less<>>;

bool IsSafe(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

std::string Encode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const unsigned char c : text) {
        if (IsSafe(c)) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 15];
        }
    }
    return encoded;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Other bytes are taken as they stand, so a hand-edited "ł" reads as itself.
std::optional<std::string> Decode(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            text += value[i];
            continue;
        }
        const int high = i + 2 < value.size() ? HexValue(value[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(value[i + 2]) : -1;
        if (low < 0) return std::nullopt;
        text += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return text;
}

// Only pieces closed by "&" count: a cut-off piece could hold part of a text.
std::optional<Pieces> SplitPieces(std::string_view line, std::string_view firstKey) {
    if (line.substr(0, firstKey.size()) != firstKey || line.substr(firstKey.size(), 1) != "=") return std::nullopt;
    Pieces pieces;
    for (std::size_t amp = line.find('&'); amp != std::string_view::npos; amp = line.find('&')) {
        const std::string_view piece = line.substr(0, amp);
        line.remove_prefix(amp + 1);
        const std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        std::optional<std::string> value = Decode(piece.substr(eq + 1));
        if (!value) return std::nullopt;
        pieces.insert_or_assign(std::string(piece.substr(0, eq)), std::move(*value));
    }
    return pieces;
}

std::string Text(const Pieces& pieces, const std::string& key) {
    const auto it = pieces.find(key);
    return it == pieces.end() ? std::string() : it->second;
}

template <std::size_t N>
std::string ComposeBoxes(const std::array<bool, N>& boxes) {
    std::string text;
    for (const bool ticked : boxes) text += ticked ? '1' : '0';
    return text;
}

template <std::size_t N>
std::array<bool, N> Boxes(const Pieces& pieces, const std::string& key) {
    const std::string text = Text(pieces, key);
    std::array<bool, N> boxes{};
    for (std::size_t i = 0; i < N && i < text.size(); ++i) boxes[i] = text[i] == '1';
    return boxes;
}

void AddPiece(std::string& line, std::string_view key, int number, std::string_view value) {
    line += key;
    line += std::to_string(number);
    line += '=';
    line += value;
    line += '&';
}

std::string Key(std::string_view name, int number) { return std::string(name) + std::to_string(number); }

struct LineRead {
    std::string line;
    FileState state = FileState::Missing;
};

LineRead ReadScheduleLine(const fs::path& file) {
    std::error_code ec;
    if (fs::status(file, ec).type() == fs::file_type::not_found) return {};
    for (const std::size_t limit : {kFirstReadLimit, kReadLimit}) {
        os::SysResult<std::string> line = ReadFirstLine(file, limit);
        if (!line) return {{}, FileState::Unreadable};
        if (line->size() < limit) return {std::move(*line), FileState::Read};
    }
    return {{}, FileState::Unreadable};  // never cut a text short
}

template <typename Result, typename Parse>
Result ReadWith(const fs::path& file, Parse parse) {
    const LineRead read = ReadScheduleLine(file);
    if (read.state != FileState::Read) {
        Result result;
        result.state = read.state;
        return result;
    }
    return parse(read.line);
}

}  // namespace

std::string ComposeDelayLine(std::string_view text) { return "opoznienie=" + Encode(text) + "&"; }

std::string ComposeWeeklyLine(const WeeklySchedule& schedule) {
    std::string line = "dni=" + ComposeBoxes(schedule.days) + "&";
    for (int i = 0; i < kSlotCount; ++i) {
        const WeeklySlot& slot = schedule.timeSlots[i];
        AddPiece(line, "godz", i + 1, Encode(slot.hour));
        AddPiece(line, "min", i + 1, Encode(slot.minute));
        AddPiece(line, "sceny", i + 1, ComposeBoxes(slot.scenes));
    }
    return line;
}

std::string ComposeDatedLine(const DatedSchedule& rows) {
    std::string line;
    for (int i = 0; i < kDatedRowCount; ++i) {
        const DatedRow& row = rows[i];
        AddPiece(line, "rok", i + 1, Encode(row.year));
        AddPiece(line, "mies", i + 1, Encode(row.month));
        AddPiece(line, "dzien", i + 1, Encode(row.day));
        AddPiece(line, "godz", i + 1, Encode(row.hour));
        AddPiece(line, "min", i + 1, Encode(row.minute));
        AddPiece(line, "sceny", i + 1, ComposeBoxes(row.scenes));
    }
    return line;
}

DelayRead ParseDelayLine(std::string_view line) {
    const std::optional<Pieces> pieces = SplitPieces(line, "opoznienie");
    if (!pieces) return {{}, FileState::Unreadable};
    return {Text(*pieces, "opoznienie"), FileState::Read};
}

WeeklyRead ParseWeeklyLine(std::string_view line) {
    const std::optional<Pieces> pieces = SplitPieces(line, "dni");
    WeeklyRead read;
    read.state = pieces ? FileState::Read : FileState::Unreadable;
    if (!pieces) return read;
    read.schedule.days = Boxes<kDayCount>(*pieces, "dni");
    for (int i = 0; i < kSlotCount; ++i) {
        WeeklySlot& slot = read.schedule.timeSlots[i];
        slot.hour = Text(*pieces, Key("godz", i + 1));
        slot.minute = Text(*pieces, Key("min", i + 1));
        slot.scenes = Boxes<kSceneCount>(*pieces, Key("sceny", i + 1));
    }
    return read;
}

DatedRead ParseDatedLine(std::string_view line) {
    const std::optional<Pieces> pieces = SplitPieces(line, "rok1");
    DatedRead read;
    read.state = pieces ? FileState::Read : FileState::Unreadable;
    if (!pieces) return read;
    for (int i = 0; i < kDatedRowCount; ++i) {
        DatedRow& row = read.rows[i];
        row.year = Text(*pieces, Key("rok", i + 1));
        row.month = Text(*pieces, Key("mies", i + 1));
        row.day = Text(*pieces, Key("dzien", i + 1));
        row.hour = Text(*pieces, Key("godz", i + 1));
        row.minute = Text(*pieces, Key("min", i + 1));
        row.scenes = Boxes<kSceneCount>(*pieces, Key("sceny", i + 1));
    }
    return read;
}

DelayRead ReadDelayFile(const fs::path& file) { return ReadWith<DelayRead>(file, ParseDelayLine); }

WeeklyRead ReadWeeklyFile(const fs::path& file) { return ReadWith<WeeklyRead>(file, ParseWeeklyLine); }

DatedRead ReadDatedFile(const fs::path& file) { return ReadWith<DatedRead>(file, ParseDatedLine); }

Status WriteDelayFile(std::string_view text, const fs::path& file) {
    return WriteFileAtomically(file, ComposeDelayLine(text) + "\r\n");
}

Status WriteWeeklyFile(const WeeklySchedule& schedule, const fs::path& file) {
    return WriteFileAtomically(file, ComposeWeeklyLine(schedule) + "\r\n");
}

Status WriteDatedFile(const DatedSchedule& rows, const fs::path& file) {
    return WriteFileAtomically(file, ComposeDatedLine(rows) + "\r\n");
}

}  // namespace hall
