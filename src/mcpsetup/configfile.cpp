#include "mcpsetup/setup_internal.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QVariant>

#include <utility>

namespace quorvelin::mcpsetup {

namespace {

char hexDigit(uint value) {
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

// The letter after the backslash for the characters with a short escape; 0 for the others.
char shortEscape(char16_t unit) {
    switch (unit) {
    case u'"':
        return '"';
    case u'\\':
        return '\\';
    case u'\b':
        return 'b';
    case u'\f':
        return 'f';
    case u'\n':
        return 'n';
    case u'\r':
        return 'r';
    case u'\t':
        return 't';
    default:
        return 0;
    }
}

char *writeUnicodeEscape(char *cursor, char16_t unit) {
    *cursor++ = '\\';
    *cursor++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4)
        *cursor++ = hexDigit((unit >> shift) & 0xf);
    return cursor;
}

// The bytes of QJsonDocument::toJson(Indented), written straight into one buffer: the Qt
// writer's temporary byte arrays per string and per indentation made it six times slower.
class IndentedWriter {
public:
    explicit IndentedWriter(qsizetype sizeHint) { out_.reserve(sizeHint); }

    QByteArray document(const QJsonObject &root) {
        object(root, 0);
        out_.append('\n');
        return std::move(out_);
    }

private:
    void indent(int level) { out_.append(qsizetype(4) * level, ' '); }

    // UTF-8 with the writer's escapes; an unpaired surrogate becomes a \u escape of its own.
    void string(const QString &text) {
        const qsizetype start = out_.size();
        out_.resize(start + 6 * text.size() + 2);
        char *cursor = out_.data() + start;
        *cursor++ = '"';
        const char16_t *unit = reinterpret_cast<const char16_t *>(text.constData());
        const char16_t *const end = unit + text.size();
        while (unit != end) {
            const char16_t u = *unit++;
            if (u < 0x80) {
                if (u >= 0x20 && u != u'"' && u != u'\\') {
                    *cursor++ = char(u);
                } else if (const char letter = shortEscape(u)) {
                    *cursor++ = '\\';
                    *cursor++ = letter;
                } else {
                    cursor = writeUnicodeEscape(cursor, u);
                }
            } else if (u < 0x800) {
                *cursor++ = char(0xc0 | (u >> 6));
                *cursor++ = char(0x80 | (u & 0x3f));
            } else if (!QChar::isSurrogate(u)) {
                *cursor++ = char(0xe0 | (u >> 12));
                *cursor++ = char(0x80 | ((u >> 6) & 0x3f));
                *cursor++ = char(0x80 | (u & 0x3f));
            } else if (QChar::isHighSurrogate(u) && unit != end && QChar::isLowSurrogate(*unit)) {
                const char32_t code = QChar::surrogateToUcs4(u, *unit++);
                *cursor++ = char(0xf0 | (code >> 18));
                *cursor++ = char(0x80 | ((code >> 12) & 0x3f));
                *cursor++ = char(0x80 | ((code >> 6) & 0x3f));
                *cursor++ = char(0x80 | (code & 0x3f));
            } else {
                cursor = writeUnicodeEscape(cursor, u);
            }
        }
        *cursor++ = '"';
        out_.truncate(cursor - out_.constData());
    }

    // Integers as integers, other numbers in their shortest form, infinities as null.
    void number(const QJsonValue &value) {
        const QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong) {
            out_.append(QByteArray::number(number.toLongLong()));
            return;
        }
        const double real = number.toDouble();
        if (qIsFinite(real))
            out_.append(QByteArray::number(real, 'g', QLocale::FloatingPointShortest));
        else
            out_.append("null");
    }

    void value(const QJsonValue &value, int level) {
        switch (value.type()) {
        case QJsonValue::Null:
            out_.append("null");
            break;
        case QJsonValue::Bool:
            out_.append(value.toBool() ? "true" : "false");
            break;
        case QJsonValue::Double:
            number(value);
            break;
        case QJsonValue::String:
            string(value.toString());
            break;
        case QJsonValue::Array:
            array(value.toArray(), level);
            break;
        case QJsonValue::Object:
            object(value.toObject(), level);
            break;
        case QJsonValue::Undefined:
            break;
        }
    }

    void object(const QJsonObject &object, int level) {
        out_.append("{\n");
        for (auto it = object.constBegin(), end = object.constEnd(); it != end;) {
            indent(level + 1);
            string(it.key());
            out_.append(": ");
            value(it.value(), level + 1);
            out_.append(++it == end ? "\n" : ",\n");
        }
        indent(level);
        out_.append('}');
    }

    void array(const QJsonArray &array, int level) {
        out_.append("[\n");
        for (auto it = array.constBegin(), end = array.constEnd(); it != end;) {
            indent(level + 1);
            value(*it, level + 1);
            out_.append(++it == end ? "\n" : ",\n");
        }
        indent(level);
        out_.append(']');
    }

    QByteArray out_;
};

} // namespace

QByteArray indentedJson(const QJsonObject &root, qsizetype sizeHint) {
    return IndentedWriter(sizeHint).document(root);
}

QString uniqueBackupPath(const QString &path) {
    const QString base = path + QStringLiteral(".bak.") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString candidate = base;
    for (int counter = 1; QFileInfo::exists(candidate); ++counter)
        candidate = base + QStringLiteral("_%1").arg(counter);
    return candidate;
}

bool hasContent(const QString &path) {
    const QFileInfo info(path);
    return info.exists() && info.size() >= 1;
}

ConfigBytes readConfigBytes(const QString &path) {
    ConfigBytes result;
    result.present = hasContent(path);
    if (!result.present) {
        result.ok = true;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.bytes = file.readAll();
    result.ok = true;
    return result;
}

ConfigReadResult readConfigObject(const QString &path) {
    ConfigReadResult result;
    const ConfigBytes file = readConfigBytes(path);
    result.present = file.present;
    if (!file.ok || !file.present) {
        result.ok = file.ok;
        return result;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return result;
    result.ok = true;
    result.root = document.object();
    return result;
}

} // namespace quorvelin::mcpsetup
