#include "mcpsetup/jsonc_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace quorvelin::mcpsetup {

namespace {

// Deep enough for any settings file, shallow enough for a worker thread's small stack.
constexpr int kDepthLimit = 256;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Past white space and comments from `at`; stops at the first other byte. At an unterminated
// block comment it returns -1 and leaves `at` where the comment begins.
qsizetype skipSpace(const QByteArray &text, qsizetype &at) {
    const qsizetype size = text.size();
    while (at < size) {
        if (isBlank(text[at])) {
            ++at;
        } else if (text[at] == '/' && at + 1 < size && text[at + 1] == '/') {
            const qsizetype lineEnd = text.indexOf('\n', at);
            at = lineEnd < 0 ? size : lineEnd;
        } else if (text[at] == '/' && at + 1 < size && text[at + 1] == '*') {
            const qsizetype close = text.indexOf("*/", at + 2);
            if (close < 0)
                return -1;
            at = close + 2;
        } else {
            break;
        }
    }
    return at;
}

class Reader {
public:
    explicit Reader(const QByteArray &text)
        : text_(text) {}

    JsoncDocument read() {
        JsoncDocument document;
        qsizetype at = text_.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        if (space(at) && value(at, document.root, 0) && space(at) && at < text_.size())
            fail(at, QObject::tr("值之后还有多余的内容"));
        document.error = error_;
        document.errorLine = errorLine_;
        return document;
    }

private:
    // "第 3 行第 7 列：why"; columns count characters.
    bool fail(qsizetype at, const QString &why) {
        const qsizetype lineStart = text_.lastIndexOf('\n', at - 1) + 1;
        errorLine_ = int(text_.left(lineStart).count('\n')) + 1;
        const qsizetype column = QString::fromUtf8(text_.mid(lineStart, at - lineStart)).size() + 1;
        error_ = QObject::tr("第 %1 行第 %2 列：%3").arg(errorLine_).arg(column).arg(why);
        return false;
    }

    bool space(qsizetype &at) {
        return skipSpace(text_, at) >= 0 || fail(at, QObject::tr("注释没有结束"));
    }

    bool value(qsizetype &at, JsoncValue &out, int depth) {
        out.start = at;
        if (at >= text_.size())
            return fail(at, QObject::tr("内容意外结束"));
        const char c = text_[at];
        bool read = false;
        if (c == '{' || c == '[') {
            if (depth >= kDepthLimit)
                return fail(at, QObject::tr("嵌套过深"));
            read = c == '{' ? object(at, out, depth + 1) : array(at, out, depth + 1);
        } else if (c == '"') {
            QString string;
            read = this->string(at, string);
            out.value = string;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            read = number(at, out.value);
        } else {
            read = literal(at, out.value);
        }
        out.end = at;
        return read;
    }

    bool literal(qsizetype &at, QJsonValue &out) {
        static const std::pair<const char *, QJsonValue> kLiterals[] = {
            {"true", QJsonValue(true)}, {"false", QJsonValue(false)}, {"null", QJsonValue()}};
        for (const auto &[word, literal] : kLiterals) {
            if (QByteArrayView(text_).sliced(at).startsWith(word)) {
                out = literal;
                at += qsizetype(qstrlen(word));
                return true;
            }
        }
        return fail(at, QObject::tr("意外的字符“%1”").arg(QString::fromUtf8(text_.mid(at, 1))));
    }

    // The JSON number grammar; its value as Qt's parser gives it.
    bool number(qsizetype &at, QJsonValue &out) {
        const qsizetype start = at;
        const auto digits = [&] {
            const qsizetype from = at;
            while (at < text_.size() && text_[at] >= '0' && text_[at] <= '9')
                ++at;
            return at - from;
        };
        if (text_[at] == '-')
            ++at;
        const qsizetype whole = at;
        if (digits() == 0 || (text_[whole] == '0' && at - whole > 1))
            return fail(start, QObject::tr("无效的数字"));
        if (at < text_.size() && text_[at] == '.' && (++at, digits() == 0))
            return fail(start, QObject::tr("无效的数字"));
        if (at < text_.size() && (text_[at] == 'e' || text_[at] == 'E')) {
            ++at;
            if (at < text_.size() && (text_[at] == '+' || text_[at] == '-'))
                ++at;
            if (digits() == 0)
                return fail(start, QObject::tr("无效的数字"));
        }
        out = QJsonDocument::fromJson('[' + text_.mid(start, at - start) + ']').array().at(0);
        return true;
    }

    // Raw bytes are decoded as UTF-8 run by run; escapes add UTF-16 units, so that a surrogate
    // pair written as two escapes comes out whole.
    bool string(qsizetype &at, QString &out) {
        const qsizetype start = at++;
        qsizetype run = at;
        const auto flush = [&] {
            QStringDecoder decoder(QStringDecoder::Utf8);
            out += decoder(QByteArrayView(text_).sliced(run, at - run));
            return !decoder.hasError() || fail(start, QObject::tr("字符串不是有效的 UTF-8"));
        };
        while (at < text_.size() && text_[at] != '"') {
            if (uchar(text_[at]) < 0x20)
                return fail(at, QObject::tr("字符串中有控制字符"));
            if (text_[at] != '\\') {
                ++at;
                continue;
            }
            if (!flush() || !escape(at, out))
                return false;
            run = at;
        }
        if (at >= text_.size())
            return fail(start, QObject::tr("字符串没有结束"));
        if (!flush())
            return false;
        ++at;
        return true;
    }

    // One escape sequence at `at` (the backslash).
    bool escape(qsizetype &at, QString &out) {
        static const char kShort[] = "\"\"\\\\//b\bf\fn\nr\rt\t";
        const char letter = at + 1 < text_.size() ? text_[at + 1] : 0;
        for (const char *pair = kShort; *pair; pair += 2) {
            if (letter == pair[0]) {
                out += QLatin1Char(pair[1]);
                at += 2;
                return true;
            }
        }
        const QByteArray hex = text_.mid(at + 2, 4);
        const bool isHex = hex.size() == 4 && std::all_of(hex.begin(), hex.end(), [](char c) {
                               return QByteArrayView("0123456789abcdefABCDEF").contains(c);
                           });
        if (letter != 'u' || !isHex)
            return fail(at, QObject::tr("无效的转义序列"));
        out += QChar(char16_t(hex.toUInt(nullptr, 16)));
        at += 6;
        return true;
    }

    bool array(qsizetype &at, JsoncValue &out, int depth) {
        QJsonArray array;
        ++at;
        if (!space(at))
            return false;
        while (at < text_.size() && text_[at] != ']') {
            JsoncValue element;
            if (!value(at, element, depth) || !space(at))
                return false;
            array.append(element.value);
            if (at < text_.size() && text_[at] == ',') {
                ++at;
                if (!space(at))
                    return false;
            } else if (at < text_.size() && text_[at] != ']') {
                return fail(at, QObject::tr("缺少逗号"));
            }
        }
        if (at >= text_.size())
            return fail(out.start, QObject::tr("数组没有结束"));
        ++at;
        out.value = array;
        return true;
    }

    bool object(qsizetype &at, JsoncValue &out, int depth) {
        QJsonObject object;
        ++at;
        if (!space(at))
            return false;
        while (at < text_.size() && text_[at] != '}') {
            JsoncMember member;
            member.keyStart = at;
            if (text_[at] != '"')
                return fail(at, QObject::tr("应为用双引号括起的键"));
            if (!string(at, member.key) || !space(at))
                return false;
            if (object.contains(member.key))
                return fail(member.keyStart, QObject::tr("重复的键“%1”").arg(member.key));
            if (at >= text_.size() || text_[at] != ':')
                return fail(at, QObject::tr("缺少冒号"));
            ++at;
            if (!space(at) || !value(at, member.value, depth) || !space(at))
                return false;
            if (at < text_.size() && text_[at] == ',') {
                member.comma = at++;
                if (!space(at))
                    return false;
            } else if (at < text_.size() && text_[at] != '}') {
                return fail(at, QObject::tr("缺少逗号"));
            }
            object.insert(member.key, member.value.value);
            out.members.push_back(std::move(member));
        }
        if (at >= text_.size())
            return fail(out.start, QObject::tr("对象没有结束"));
        ++at;
        out.value = object;
        return true;
    }

    const QByteArray &text_;
    QString error_;
    int errorLine_ = 0;
};

// --- Editing

qsizetype lineStart(const QByteArray &text, qsizetype at) {
    return text.lastIndexOf('\n', at - 1) + 1;
}

// Where the line holding `at` ends: its "\r\n" or "\n", or the end of the text.
qsizetype lineBreak(const QByteArray &text, qsizetype at) {
    const qsizetype newline = text.indexOf('\n', at);
    if (newline < 0)
        return text.size();
    return newline > 0 && text[newline - 1] == '\r' ? newline - 1 : newline;
}

QByteArray lineBreakAt(const QByteArray &text, qsizetype at) {
    return text.mid(at, text.mid(at, 2) == "\r\n" ? 2 : 1);
}

// Only blanks before `at` on its line.
bool startsLine(const QByteArray &text, qsizetype at) {
    const qsizetype start = lineStart(text, at);
    return std::all_of(text.begin() + start, text.begin() + at,
                       [](char c) { return c == ' ' || c == '\t'; });
}

// Only blanks and comments from `at` to the end of its line.
bool endsLine(const QByteArray &text, qsizetype at) {
    const qsizetype end = lineBreak(text, at);
    return skipSpace(text.left(end), at) == end;
}

QByteArray indentOf(const QByteArray &text, qsizetype at) {
    const qsizetype start = lineStart(text, at);
    qsizetype end = start;
    while (end < at && (text[end] == ' ' || text[end] == '\t'))
        ++end;
    return text.mid(start, end - start);
}

QByteArray scalarJson(const QJsonValue &value) {
    const QByteArray element = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return element.mid(1, element.size() - 2);
}

// Indented with `unit` per level below `indent`, lines ended by `eol`; empty objects and arrays
// stay on one line. With an empty `eol`, all on one line.
QByteArray pretty(const QJsonValue &value, const QByteArray &indent, const QByteArray &unit,
                  const QByteArray &eol) {
    const bool isObject = value.isObject();
    if (!isObject && !value.isArray())
        return scalarJson(value);
    const QJsonObject object = value.toObject();
    const QStringList keys = object.keys();
    const QJsonArray array = value.toArray();
    const qsizetype size = isObject ? object.size() : array.size();
    QByteArray text(1, isObject ? '{' : '[');
    const QByteArray inner = eol.isEmpty() ? QByteArray() : indent + unit;
    for (qsizetype i = 0; i < size; ++i) {
        text += (i ? "," : "") + (eol.isEmpty() && i ? QByteArray(" ") : eol) + inner;
        if (isObject)
            text += scalarJson(keys.at(i)) + ": ";
        text += pretty(isObject ? object.value(keys.at(i)) : array.at(i), inner, unit, eol);
    }
    if (size > 0)
        text += eol + (eol.isEmpty() ? QByteArray() : indent);
    return text + (isObject ? '}' : ']');
}

// The file's indentation step: the blanks before the first key that starts a line, else Qt's
// four blanks.
QByteArray indentUnit(const QByteArray &text) {
    for (qsizetype at = 0; at < text.size();) {
        qsizetype key = at;
        while (key < text.size() && (text[key] == ' ' || text[key] == '\t'))
            ++key;
        if (key > at && key < text.size() && text[key] == '"')
            return text.mid(at, key - at);
        const qsizetype newline = text.indexOf('\n', at);
        if (newline < 0)
            break;
        at = newline + 1;
    }
    return QByteArrayLiteral("    ");
}

struct Splice {
    qsizetype start;
    qsizetype end;
    QByteArray with;
};

// From the end backwards; of two splices at one place, the one given first ends up first.
QByteArray applied(QByteArray text, std::vector<Splice> splices) {
    std::reverse(splices.begin(), splices.end());
    std::stable_sort(splices.begin(), splices.end(),
                     [](const Splice &a, const Splice &b) { return a.start > b.start; });
    for (const Splice &splice : splices)
        text.replace(splice.start, splice.end - splice.start, splice.with);
    return text;
}

} // namespace

JsoncDocument readJsonc(const QByteArray &text) {
    return Reader(text).read();
}

const JsoncMember *jsoncMember(const JsoncValue &object, const QString &key) {
    const auto found =
        std::find_if(object.members.begin(), object.members.end(),
                     [&key](const JsoncMember &member) { return member.key == key; });
    return found == object.members.end() ? nullptr : &*found;
}

QByteArray setJsoncMember(const QByteArray &text, const JsoncValue &object, const QString &key,
                          const QJsonValue &value) {
    const QByteArray unit = indentUnit(text);
    if (const JsoncMember *member = jsoncMember(object, key)) {
        const bool ownLine = startsLine(text, member->keyStart);
        const QByteArray eol =
            ownLine ? lineBreakAt(text, lineBreak(text, member->keyStart)) : QByteArray();
        return applied(text, {{member->value.start, member->value.end,
                               pretty(value, indentOf(text, member->keyStart), unit, eol)}});
    }
    const QByteArray name = scalarJson(key) + ": ";
    const qsizetype close = object.end - 1;
    if (object.members.empty()) {
        const qsizetype open = object.start + 1;
        // An object written on one line gets its member inline.
        if (!endsLine(text, open) || lineBreak(text, open) >= close)
            return applied(text, {{open, open, name + pretty(value, {}, unit, {})}});
        const qsizetype at = lineBreak(text, open);
        const QByteArray eol = lineBreakAt(text, at);
        const QByteArray indent = indentOf(text, close) + unit;
        return applied(text, {{at, at, eol + indent + name + pretty(value, indent, unit, eol)}});
    }
    const JsoncMember &last = object.members.back();
    const bool trailingComma = last.comma >= 0;
    const qsizetype tail = trailingComma ? last.comma + 1 : last.value.end;
    std::vector<Splice> splices;
    if (!trailingComma)
        splices.push_back({last.value.end, last.value.end, ","});
    if (endsLine(text, tail) && lineBreak(text, tail) < close) {
        const qsizetype at = lineBreak(text, tail);
        const QByteArray eol = lineBreakAt(text, at);
        const QByteArray indent = indentOf(text, last.keyStart);
        splices.push_back(
            {at, at,
             eol + indent + name + pretty(value, indent, unit, eol) + (trailingComma ? "," : "")});
    } else {
        splices.push_back(
            {tail, tail, ' ' + name + pretty(value, {}, unit, {}) + (trailingComma ? "," : "")});
    }
    return applied(text, splices);
}

QByteArray removeJsoncMember(const QByteArray &text, const JsoncValue &object, const QString &key) {
    const auto found =
        std::find_if(object.members.begin(), object.members.end(),
                     [&key](const JsoncMember &member) { return member.key == key; });
    if (found == object.members.end())
        return text;
    const JsoncMember &member = *found;
    const JsoncMember *previous = found == object.members.begin() ? nullptr : &*(found - 1);
    const qsizetype tail = member.comma >= 0 ? member.comma + 1 : member.value.end;
    std::vector<Splice> splices;
    if (startsLine(text, member.keyStart) && endsLine(text, tail)) {
        const qsizetype end = lineBreak(text, tail);
        splices.push_back(
            {lineStart(text, member.keyStart), end + lineBreakAt(text, end).size(), {}});
        if (member.comma < 0 && previous)
            splices.push_back({previous->comma, previous->comma + 1, {}});
    } else if (member.comma >= 0) {
        // A member written inline goes with the blank before it, or, when it is the first, with
        // the blank after it.
        const JsoncMember *next = found + 1 == object.members.end() ? nullptr : &*(found + 1);
        splices.push_back({previous ? previous->comma + 1 : member.keyStart,
                           previous || !next ? tail : next->keyStart,
                           {}});
    } else {
        splices.push_back({previous ? previous->comma : member.keyStart, tail, {}});
    }
    return applied(text, splices);
}

} // namespace quorvelin::mcpsetup
