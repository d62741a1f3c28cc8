#include "sidecar/relay.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace quorvelin::sidecar {

namespace {

// Enough for any tool reply of a GUI program; a reply with more values is not the common form,
// and the bound keeps the parse's own memory small whatever comes.
constexpr int kMostValues = 4096;
constexpr int kDeepest = 64;
// Whole numbers of up to 15 digits are integers to Qt and come out as they went in.
constexpr int kMostDigits = 15;

// True for the bytes a string may hold on the fast way: printable ASCII but the quote and the
// backslash, which would need escaping. Written without a branch per byte so that it vectorises.
inline unsigned char isSpecial(unsigned char c) {
    return static_cast<unsigned char>(static_cast<unsigned char>(c - 0x20) > 0x5E) |
           static_cast<unsigned char>(c == '"') | static_cast<unsigned char>(c == '\\');
}

// The first special byte from `p` on, or `end`. Blocks of a fixed size let the compiler test
// many bytes at once; this one pass is all the time a long base64 string costs.
const char *firstSpecial(const char *p, const char *end) {
    constexpr int kBlock = 64;
    while (end - p >= kBlock) {
        unsigned char any = 0;
        for (int i = 0; i < kBlock; ++i)
            any |= isSpecial(static_cast<unsigned char>(p[i]));
        if (any)
            break;
        p += kBlock;
    }
    while (p < end && !isSpecial(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

using Value = PlainJson::Value;
using Values = QVarLengthArray<Value, 32>;

class Parser {
public:
    Parser(QByteArrayView text, Values &values)
        : values(values)
        , p_(text.data())
        , end_(text.data() + text.size()) {}

    // The whole text is one object and nothing else.
    bool parseDocument() {
        skipSpace();
        if (p_ == end_ || *p_ != '{' || parseValue(0) < 0)
            return false;
        skipSpace();
        return p_ == end_;
    }

    Values &values;

private:
    void skipSpace() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r'))
            ++p_;
    }

    bool skipString() {
        const char *close = firstSpecial(p_ + 1, end_);
        if (close == end_ || *close != '"')
            return false;
        p_ = close + 1;
        return true;
    }

    bool skipLiteral(const char *word, qsizetype size) {
        if (end_ - p_ < size || std::memcmp(p_, word, size_t(size)) != 0)
            return false;
        p_ += size;
        return true;
    }

    // -0 is 0 to Qt, and a fraction or an exponent makes a double that Qt writes its own way.
    bool skipNumber() {
        const char *start = p_;
        if (*p_ == '-')
            ++p_;
        const char *digits = p_;
        while (p_ < end_ && isDigit(*p_))
            ++p_;
        const qsizetype count = p_ - digits;
        if (count == 0 || count > kMostDigits || (*digits == '0' && (count > 1 || digits != start)))
            return false;
        return p_ == end_ || (*p_ != '.' && *p_ != 'e' && *p_ != 'E');
    }

    bool parseScalar() {
        switch (*p_) {
        case '"':
            return skipString();
        case 't':
            return skipLiteral("true", 4);
        case 'f':
            return skipLiteral("false", 5);
        case 'n':
            return skipLiteral("null", 4);
        default:
            return skipNumber();
        }
    }

    // The index of the value that starts here, or -1 when it leaves the fast way's form.
    int parseValue(int depth) {
        if (p_ == end_ || values.size() >= kMostValues)
            return -1;
        const int index = int(values.size());
        values.append(Value());
        const char open = *p_;
        if (open != '{' && open != '[') {
            const char *start = p_;
            if (!parseScalar())
                return -1;
            values[index].kind = 's';
            values[index].text = QByteArrayView(start, p_ - start);
            return index;
        }
        if (depth >= kDeepest)
            return -1;
        values[index].kind = open;
        const char close = open == '{' ? '}' : ']';
        ++p_;
        skipSpace();
        if (p_ < end_ && *p_ == close) {
            ++p_;
            return index;
        }
        for (int last = -1;;) {
            QByteArrayView key;
            if (open == '{') {
                const char *start = p_;
                if (p_ == end_ || *p_ != '"' || !skipString())
                    return -1;
                key = QByteArrayView(start + 1, p_ - start - 2);
                skipSpace();
                if (p_ == end_ || *p_ != ':')
                    return -1;
                ++p_;
                skipSpace();
            }
            const int child = parseValue(depth + 1);
            if (child < 0)
                return -1;
            values[child].key = key;
            (last < 0 ? values[index].first : values[last].next) = child;
            last = child;
            skipSpace();
            if (p_ == end_)
                return -1;
            if (*p_ == close) {
                ++p_;
                return index;
            }
            if (*p_ != ',')
                return -1;
            ++p_;
            skipSpace();
        }
    }

    const char *p_;
    const char *end_;
};

// Qt keeps an object's members sorted by key, compared as UTF-16; for ASCII that is byte order.
bool keyLess(QByteArrayView a, QByteArrayView b) {
    const int order = std::memcmp(a.data(), b.data(), size_t(std::min(a.size(), b.size())));
    return order < 0 || (order == 0 && a.size() < b.size());
}

class Writer {
public:
    Writer(const Values &values, Pieces *out)
        : values_(values)
        , out_(out) {}

    // False when an object holds a key twice (Qt keeps only the last); nothing is written then.
    bool checkKeys() {
        for (const Value &value : values_) {
            if (value.kind != '{')
                continue;
            sortedMembers(value);
            for (qsizetype i = 1; i < members_.size(); ++i) {
                if (members_[i - 1]->key == members_[i]->key)
                    return false;
            }
        }
        return true;
    }

    void write(const Value &value) {
        if (value.kind == 's') {
            out_->appendSlice(value.text);
            return;
        }
        out_->append(value.kind);
        if (value.kind == '[') {
            for (int i = value.first; i >= 0; i = values_[i].next) {
                if (i != value.first)
                    out_->append(',');
                write(values_[i]);
            }
            out_->append(']');
            return;
        }
        // Sorted afresh at each object: the list is shared by the recursion.
        sortedMembers(value);
        const QVarLengthArray<const Value *, 16> members = members_;
        for (const Value *member : members) {
            if (member != members.front())
                out_->append(',');
            out_->append('"');
            out_->append(member->key);
            out_->append("\":");
            write(*member);
        }
        out_->append('}');
    }

private:
    void sortedMembers(const Value &object) {
        members_.clear();
        for (int i = object.first; i >= 0; i = values_[i].next)
            members_.append(&values_[i]);
        std::sort(members_.begin(), members_.end(),
                  [](const Value *a, const Value *b) { return keyLess(a->key, b->key); });
    }

    const Values &values_;
    Pieces *out_;
    QVarLengthArray<const Value *, 16> members_;
};

} // namespace

bool PlainJson::parse(QByteArrayView text) {
    values_.clear();
    size_ = text.size();
    Parser parser(text, values_);
    if (!parser.parseDocument() || !Writer(values_, nullptr).checkKeys()) {
        values_.clear();
        return false;
    }
    return true;
}

int PlainJson::member(QByteArrayView key, int object) const {
    if (values_.isEmpty() || values_[object].kind != '{')
        return -1;
    for (int i = values_[object].first; i >= 0; i = values_[i].next) {
        if (values_[i].key == key)
            return i;
    }
    return -1;
}

void PlainJson::write(int value, Pieces *out) const {
    Writer(values_, out).write(values_[value]);
}

bool relayReply(QByteArrayView reply, Pieces *out, bool *isError) {
    PlainJson json;
    if (!json.parse(reply))
        return false;
    const int flag = json.member("isError");
    *isError = flag >= 0 && json.scalar(flag) == "true";
    json.write(0, out);
    return true;
}

} // namespace quorvelin::sidecar
