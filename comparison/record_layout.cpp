#include "comparison/record_layout.h"

#include "comparison/source_file.h"
#include "comparison/text_decoding.h"
#include "comparison/utf8_validator.h"

#include "comparison/comparison_error.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <memory>

namespace parvane {

namespace {

// A statement's words: bare words, or text within double quotes (`quoted`).
struct Word {
    std::string text;
    bool quoted = false;
};

// The reader of one layout file, a statement at a time.
class LayoutParser {
public:
    explicit LayoutParser(const std::string& shownName) : shownName_(shownName) {}

    std::vector<RecordType> parse(std::string_view text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            ++lineNumber_;
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) {
                end = text.size();
            }
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            statement(split(line));
            start = end + 1;
        }
        finish();
        return std::move(types_);
    }

private:
    [[noreturn]] void refuse(const std::string& reason) const {
        throw LayoutError("El formato de campos " + shownName_ + ", línea " +
                          std::to_string(lineNumber_) + ": " + reason + ".");
    }

    std::vector<Word> split(std::string_view line) const {
        std::vector<Word> words;
        std::size_t at = 0;
        while (true) {
            at = line.find_first_not_of(" \t", at);
            if (at == std::string_view::npos || line[at] == '#') {
                return words;
            }
            if (line[at] == '"') {
                const std::size_t close = line.find('"', at + 1);
                if (close == std::string_view::npos) {
                    refuse("falta la comilla que cierra " + std::string(line.substr(at)));
                }
                words.push_back({std::string(line.substr(at + 1, close - at - 1)), true});
                at = close + 1;
                continue;
            }
            const std::size_t end = std::min(line.find_first_of(" \t\"#", at), line.size());
            words.push_back({std::string(line.substr(at, end - at)), false});
            at = end;
        }
    }

    void statement(const std::vector<Word>& words) {
        if (words.empty()) {
            return;
        }
        if (!versionSeen_) {
            if (words[0].text != "campos" || words[0].quoted) {
                refuse("el formato empieza por «campos 1», no por «" + words[0].text + "»");
            }
            if (words.size() != 2 || words[1].text != "1") {
                refuse("versión desconocida «" + rest(words, 1) +
                       "»: este programa lee la versión 1");
            }
            versionSeen_ = true;
            return;
        }
        if (words[0].text == "registro" && !words[0].quoted) {
            recordType(words);
        } else {
            field(words);
        }
    }

    void recordType(const std::vector<Word>& words) {
        if (words.size() != 6 || words[2].text != "si" || !words[5].quoted) {
            refuse("un registro se escribe «registro NOMBRE si COLUMNA LONGITUD \"TEXTO\"», no «" +
                   rest(words, 0) + "»");
        }
        closeType();
        if (!types_.empty() && types_.front().name.empty()) {
            refuse("«registro» tras campos sin registro: o todos los campos van tras un "
                   "«registro», o ninguno");
        }
        RecordType type;
        type.name = name(words[1]);
        for (const RecordType& other : types_) {
            if (other.name == type.name) {
                refuse("el registro " + type.name + " ya está definido");
            }
        }
        type.keyColumn = number(words[3], "la columna") - 1;
        const std::uint64_t length = number(words[4], "la longitud");
        decodeUtf8(words[5].text, type.key);
        if (type.key.size() != length) {
            refuse("el texto \"" + words[5].text + "\" tiene " + std::to_string(type.key.size()) +
                   (type.key.size() == 1 ? " carácter" : " caracteres") + ", no " +
                   std::to_string(length));
        }
        typeLine_ = lineNumber_;
        types_.push_back(std::move(type));
        open_ = true;
    }

    void field(const std::vector<Word>& words) {
        if (words.size() < 3 || words[0].quoted) {
            refuse("un campo se escribe «NOMBRE COLUMNA LONGITUD» (o «*» por longitud), no «" +
                   rest(words, 0) + "»");
        }
        if (!open_) {
            if (!types_.empty()) {
                refuse("campos sin registro tras un «registro»: o todos los campos van tras un "
                       "«registro», o ninguno");
            }
            types_.emplace_back();
            open_ = true;
        }
        LayoutField field;
        field.name = name(words[0]);
        field.first = number(words[1], "la columna") - 1;
        if (words[2].text != "*" || words[2].quoted) {
            field.length = number(words[2], "la longitud");
        }
        for (std::size_t w = 3; w < words.size(); ++w) {
            flag(words[w], field);
        }
        RecordType& type = types_.back();
        for (const LayoutField& other : type.fields) {
            if (other.name == field.name) {
                refuse("el campo " + field.name + " ya está definido" + inType(type));
            }
            if (field.first < other.end() && other.first < field.end()) {
                refuse("los campos " + other.described() + " y " + field.described() +
                       " se solapan");
            }
        }
        type.fields.push_back(std::move(field));
    }

    void flag(const Word& word, LayoutField& field) const {
        const std::string& text = word.text;
        bool* set = word.quoted                     ? nullptr
                    : text == "ignorar"             ? &field.ignored
                    : text == "sin-mayusculas"      ? &field.noCase
                    : text == "sin-blancos-finales" ? &field.noTrailingBlanks
                                                    : nullptr;
        if (set == nullptr) {
            refuse("la marca «" + text + "» del campo " + field.name +
                   " no se conoce: un campo puede terminar en «ignorar», «sin-mayusculas» o "
                   "«sin-blancos-finales»");
        }
        if (*set) {
            refuse("el campo " + field.name + " tiene dos veces la marca «" + text + "»");
        }
        *set = true;
    }

    // The record type being written ends: it must have fields.
    void closeType() {
        if (open_ && types_.back().fields.empty()) {
            lineNumber_ = typeLine_;
            refuse("el registro " + types_.back().name + " no tiene campos");
        }
        open_ = false;
    }

    void finish() {
        if (!versionSeen_) {
            lineNumber_ = 1;
            refuse("falta «campos 1» al principio");
        }
        if (types_.empty()) {
            refuse("no define ningún campo");
        }
        closeType();
        for (RecordType& type : types_) {
            std::sort(type.fields.begin(), type.fields.end(),
                      [](const LayoutField& a, const LayoutField& b) { return a.first < b.first; });
        }
    }

    static std::string inType(const RecordType& type) {
        return type.name.empty() ? std::string() : " en el registro " + type.name;
    }

    std::string name(const Word& word) const {
        const std::string& text = word.text;
        bool good = !text.empty() && !word.quoted && Utf8Validator::sequenceLength(text) != 0;
        if (good) {
            std::u32string characters;
            decodeUtf8(text, characters);
            good = std::all_of(characters.begin(), characters.end(), [](char32_t c) {
                return (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') ||
                       (c >= U'a' && c <= U'z') || c == U'_' || c == U'-' ||
                       (c >= 0xC0 && c != 0xD7 && c != 0xF7);
            });
        }
        if (!good) {
            refuse("el nombre «" + text + "» no vale: los nombres son letras, cifras, «_» y «-»");
        }
        return text;
    }

    std::uint64_t number(const Word& word, const std::string& what) const {
        std::uint64_t value = 0;
        const char* end = word.text.data() + word.text.size();
        const auto [stop, error] = std::from_chars(word.text.data(), end, value);
        if (word.quoted || word.text.empty() || error != std::errc() || stop != end) {
            refuse(what + " «" + word.text + "» no es un número");
        }
        if (value == 0) {
            refuse(what + " es 0: " +
                   (what == "la columna" ? "las columnas empiezan en 1"
                                         : "un campo tiene al menos una columna"));
        }
        if (value > (std::uint64_t{1} << 40)) {
            refuse(what + " «" + word.text + "» es demasiado grande");
        }
        return value;
    }

    static std::string rest(const std::vector<Word>& words, std::size_t from) {
        std::string text;
        for (std::size_t i = from; i < words.size(); ++i) {
            text += (i > from ? " " : "") +
                    (words[i].quoted ? "\"" + words[i].text + "\"" : words[i].text);
        }
        return text;
    }

    const std::string& shownName_;
    std::size_t lineNumber_ = 0;
    std::size_t typeLine_ = 0;
    bool versionSeen_ = false;
    bool open_ = false; // fields now go to types_.back()
    std::vector<RecordType> types_;
};

} // namespace

std::string LayoutField::columns() const {
    if (!length) {
        return std::to_string(first + 1) + "-";
    }
    if (*length == 1) {
        return std::to_string(first + 1);
    }
    return std::to_string(first + 1) + "-" + std::to_string(first + *length);
}

std::string LayoutField::flags() const {
    std::string text;
    for (const auto& [set, name] :
         {std::pair{ignored, "ignorar"}, std::pair{noCase, "sin-mayusculas"},
          std::pair{noTrailingBlanks, "sin-blancos-finales"}}) {
        if (set) {
            text += (text.empty() ? "" : " ") + std::string(name);
        }
    }
    return text;
}

std::string LayoutField::described() const {
    const bool one = length && *length == 1;
    return name + (one ? " (columna " : " (columnas ") + columns() + (length ? ")" : "…)");
}

bool RecordType::matches(std::u32string_view line) const {
    return line.size() >= keyColumn + key.size() &&
           line.substr(static_cast<std::size_t>(keyColumn), key.size()) == key;
}

const LayoutField* RecordType::fieldAt(std::uint64_t column) const {
    auto after = std::upper_bound(
        fields.begin(), fields.end(), column,
        [](std::uint64_t at, const LayoutField& field) { return at < field.first; });
    if (after == fields.begin()) {
        return nullptr;
    }
    const LayoutField& field = *std::prev(after);
    return field.holds(column) ? &field : nullptr;
}

RecordLayout RecordLayout::parse(std::string_view text, const std::string& shownName) {
    RecordLayout layout;
    layout.shownName_ = shownName;
    Utf8Validator validator;
    validator.feed(text);
    if (!validator.valid()) {
        // The line of the first byte that breaks the rule.
        std::size_t good = 0;
        while (good < text.size()) {
            const std::size_t length = Utf8Validator::sequenceLength(text.substr(good));
            if (length == 0) {
                break;
            }
            good += length;
        }
        const auto line = std::count(text.begin(), text.begin() + good, '\n') + 1;
        throw LayoutError("El formato de campos " + shownName + ", línea " + std::to_string(line) +
                          ": no es UTF-8 válido.");
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    layout.types_ = LayoutParser(layout.shownName_).parse(text);
    for (const RecordType& type : layout.types_) {
        layout.keyEnd_ = std::max(layout.keyEnd_, type.keyColumn + type.key.size());
    }
    return layout;
}

RecordLayout RecordLayout::read(const std::filesystem::path& path) {
    // The file is read as the files compared are, with their messages.
    std::shared_ptr<const std::string> bytes;
    try {
        SourceFile file(path);
        if (!file.holdWhole(kMostBytes)) {
            throw LayoutError("No se puede leer el formato de campos " + quoted(path) +
                              ": tiene más de 1 MB, y un formato es mucho más corto.");
        }
        bytes = file.held();
    } catch (const FileError& error) {
        throw LayoutError(error.what());
    }
    return parse(*bytes, quoted(path));
}

const RecordType* RecordLayout::typeOf(std::u32string_view line) const {
    for (const RecordType& type : types_) {
        if (type.matches(line)) {
            return &type;
        }
    }
    return nullptr;
}

} // namespace parvane
