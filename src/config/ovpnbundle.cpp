#include "config/ovpnbundle.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QPair>

#include <algorithm>
#include <cctype>

namespace {

// One option line of the configuration, with where its bytes lie.
struct OptionLine
{
    QByteArray name;
    QByteArrayList args;
    int begin;
    int end;   // past the line's line feed; for a block, past its closing line's
    int scope; // 0 at the top; inside a <connection> block, the block's number
};

bool isBlank(char c)
{
    return c == '\0' || std::isspace(static_cast<unsigned char>(c));
}

// The parameters of one line as OpenVPN splits them: blanks separate, double and single quotes group, outside
// single quotes a backslash escapes a blank, a double quote or itself, and "#" or ";" where a parameter would
// begin starts a comment. A line OpenVPN refuses (an open quote, any other backslash) gives none.
QByteArrayList parameters(const QByteArray &line)
{
    enum { Between, Plain, Quoted, SingleQuoted } state = Between;
    QByteArrayList params;
    QByteArray param;
    bool backslash = false;
    for (int i = 0; i <= line.size(); ++i) {
        const char in = i < line.size() ? line.at(i) : '\0';
        char out = 0;
        if (!backslash && in == '\\' && state != SingleQuoted) {
            backslash = true;
        } else {
            const bool between = state == Between;
            bool done = false;
            if (between) {
                if (in == ';' || in == '#')
                    return params; // no parameter is open here
                if (!isBlank(in)) {
                    if (!backslash && in == '"')
                        state = Quoted;
                    else if (!backslash && in == '\'')
                        state = SingleQuoted;
                    else
                        out = in, state = Plain;
                }
            } else if (state == Plain) {
                done = !backslash && isBlank(in);
            } else if (state == Quoted) {
                done = !backslash && in == '"';
            } else {
                done = in == '\'';
            }
            if (!between && !done)
                out = in;
            if (done) {
                params.append(param);
                param.clear();
                state = Between;
            }
            if (backslash && out && !(out == '\\' || out == '"' || isBlank(out)))
                return {};
            backslash = false;
        }
        if (out)
            param += out;
        if (in == '\0')
            break;
    }
    if (state == Quoted || state == SingleQuoted)
        return {};
    return params;
}

// The option lines of the text, in order. The contents of inline blocks are data, not options; those of
// <connection> blocks are options of their own scope.
QList<OptionLine> optionLines(const QByteArray &text)
{
    QList<OptionLine> lines;
    QByteArray closeTag; // of the inline block being skipped
    int scope = 0;
    int blocks = 0;
    int connectionLine = 0; // the line that opened the <connection> block being read
    for (int begin = 0; begin < text.size();) {
        const int feed = text.indexOf('\n', begin);
        const int end = feed < 0 ? int(text.size()) : feed + 1;
        QByteArray line = text.mid(begin, end - begin);
        if (begin == 0 && line.startsWith("\xEF\xBB\xBF")) // OpenVPN skips a UTF-8 mark
            line.remove(0, 3);
        const int lead = int(std::find_if_not(line.cbegin(), line.cend(), isBlank) - line.cbegin());
        const QByteArray start = line.mid(lead);
        QByteArrayList p;
        if (!closeTag.isEmpty()) {
            if (start.startsWith(closeTag)) {
                closeTag.clear();
                lines.last().end = end;
            }
        } else if (scope && start.startsWith("</connection>")) {
            scope = 0;
            lines[connectionLine].end = end;
        } else if (!(p = parameters(line)).isEmpty()) {
            if (p[0].startsWith("--"))
                p[0].remove(0, 2);
            const QByteArray &first = p[0];
            if (p.size() == 1 && first.size() > 2 && first.startsWith('<') && first.endsWith('>')) {
                const QByteArray tag = first.mid(1, first.size() - 2);
                lines.append({tag, {}, begin, end, scope});
                if (tag == "connection" && !scope) {
                    scope = ++blocks;
                    connectionLine = int(lines.size()) - 1;
                } else {
                    closeTag = "</" + tag + '>';
                }
            } else {
                lines.append({first, p.mid(1), begin, end, scope});
            }
        }
        begin = end;
    }
    return lines;
}

// Whether the line names a file of keys or certificates in a form that OpenVPN also takes inline. Not "dh":
// OpenVPN ignores it in a client, file or no file, and NetworkManager's importer refuses it inline.
bool namesKeyFile(const OptionLine &line)
{
    static const QByteArrayList plain{"ca", "cert", "key", "extra-certs", "pkcs12", "tls-crypt", "tls-crypt-v2",
                                      "crl-verify"};
    if (line.args.size() == 1)
        return plain.contains(line.name) || line.name == "tls-auth" || line.name == "secret";
    // The inline form has no place for a key direction; "key-direction" takes it.
    return line.args.size() == 2 && (line.name == "tls-auth" || line.name == "secret")
        && (line.args[1] == "0" || line.args[1] == "1");
}

// OpenVPN reads inline PKCS#12 as Base64 in lines; one long line fails to decode.
QByteArray base64Lines(const QByteArray &data, const QByteArray &eol)
{
    const QByteArray base64 = data.toBase64();
    QByteArray lines;
    for (int i = 0; i < base64.size(); i += 64)
        lines += base64.mid(i, 64) + eol;
    return lines;
}

} // namespace

QList<OvpnOption> ovpnOptions(const QByteArray &text)
{
    QList<OvpnOption> options;
    for (const OptionLine &line : optionLines(text)) {
        if (line.scope == 0)
            options.append({line.name, text.mid(line.begin, line.end - line.begin)});
    }
    return options;
}

QByteArray inlineOvpnFiles(const QByteArray &text, const QDir &folder, QList<MissingOvpnFile> *missing)
{
    const QList<OptionLine> lines = optionLines(text);
    // A later line of the same option in the same scope replaces an earlier one, as "ca [inline]" before a
    // <ca> block does; the earlier one's file is never read.
    QHash<QPair<QByteArray, int>, int> last;
    for (int i = 0; i < lines.size(); ++i)
        last.insert(qMakePair(lines[i].name, lines[i].scope), i);

    QByteArray result;
    int copied = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const OptionLine &line = lines[i];
        if (!namesKeyFile(line) || last.value(qMakePair(line.name, line.scope)) != i)
            continue;
        const QString path = folder.absoluteFilePath(QString::fromUtf8(line.args[0]));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            missing->append({QString::fromUtf8(line.name), QDir::toNativeSeparators(path)});
            continue;
        }
        const QByteArray eol = text.mid(line.end - 2, 2) == "\r\n" ? "\r\n" : "\n";
        QByteArray data = line.name == "pkcs12" ? base64Lines(file.readAll(), eol) : file.readAll();
        if (!data.endsWith('\n'))
            data += eol;
        result += text.mid(copied, line.begin - copied) + '<' + line.name + '>' + eol + data + "</" + line.name + '>'
            + eol;
        if (line.args.size() == 2)
            result += "key-direction " + line.args[1] + eol;
        copied = line.end;
    }
    if (!missing->isEmpty())
        return QByteArray();
    if (copied == 0)
        return text;
    return result + text.mid(copied);
}
