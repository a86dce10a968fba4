#include "manifest/XmlFileBase.h"

#include "common/DecimalText.h"
#include "common/MessageTable.h"
#include "platform/FileWriter.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <limits>
#include <optional>

#include <pugixml.hpp>

namespace BASE {

namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";

bool StartsWith(const QByteArray& b, std::initializer_list<unsigned char> prefix)
{
    if (b.size() < qsizetype(prefix.size()))
        return false;
    qsizetype i = 0;
    for (unsigned char c : prefix) {
        if (static_cast<unsigned char>(b[i++]) != c)
            return false;
    }
    return true;
}

// The encoding named by the declaration of an ASCII-compatible document.
QByteArray DeclaredEncoding(const QByteArray& bytes)
{
    if (!bytes.startsWith("<?xml"))
        return {};
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return {};
    static const QRegularExpression re(
        QStringLiteral("^<\\?xml\\s[^>]*?\\bencoding\\s*=\\s*[\"']([A-Za-z][A-Za-z0-9._-]*)[\"']"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(bytes.left(end)));
    return m.hasMatch() ? m.captured(1).toLatin1() : QByteArray();
}

// Turns the file's bytes into text the way an XML reader must: a byte-order
// mark or the UTF-16/32 form of "<" decides first, then the declaration.
// Bytes that are not valid in the chosen encoding make the document unreadable.
bool DecodeDocument(const QByteArray& bytes, QString& text)
{
    using E = QStringConverter::Encoding;
    std::optional<E> encoding;
    qsizetype skip = 0;
    QByteArray name;
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) {
        encoding = E::Utf8, skip = 3;
    } else if (StartsWith(bytes, {0xFF, 0xFE, 0x00, 0x00})) {
        encoding = E::Utf32LE, skip = 4;
    } else if (StartsWith(bytes, {0x00, 0x00, 0xFE, 0xFF})) {
        encoding = E::Utf32BE, skip = 4;
    } else if (StartsWith(bytes, {0xFF, 0xFE})) {
        encoding = E::Utf16LE, skip = 2;
    } else if (StartsWith(bytes, {0xFE, 0xFF})) {
        encoding = E::Utf16BE, skip = 2;
    } else if (StartsWith(bytes, {0x3C, 0x00, 0x00, 0x00})) {
        encoding = E::Utf32LE;
    } else if (StartsWith(bytes, {0x00, 0x00, 0x00, 0x3C})) {
        encoding = E::Utf32BE;
    } else if (StartsWith(bytes, {0x3C, 0x00})) {
        encoding = E::Utf16LE;
    } else if (StartsWith(bytes, {0x00, 0x3C})) {
        encoding = E::Utf16BE;
    } else {
        name = DeclaredEncoding(bytes);
        if (name.isEmpty()) {
            encoding = E::Utf8;
        } else {
            encoding = QStringConverter::encodingForName(name.constData());
            // A document read as 8-bit text cannot be UTF-16 or UTF-32.
            if (encoding && *encoding != E::Utf8 && *encoding != E::Latin1 && *encoding != E::System)
                return false;
        }
    }
    const QByteArrayView data = QByteArrayView(bytes).sliced(skip);
    QStringDecoder decoder = encoding ? QStringDecoder(*encoding, QStringConverter::Flag::Stateless)
                                      : QStringDecoder(name.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return false;
    text = decoder.decode(data);
    return !decoder.hasError();
}

// Parses text into doc; true only for a well-formed document with one root element.
bool ParseDocument(const QString& text, pugi::xml_document& doc)
{
    // A NUL cannot occur in XML and would cut pugixml's input short.
    if (text.contains(QChar(0)))
        return false;
    // As a fragment pugixml keeps text outside the root, so it can be refused below.
    const unsigned flags = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_fragment;
    const pugi::xml_parse_result result =
        doc.load_buffer(text.utf16(), size_t(text.size()) * sizeof(char16_t), flags, pugi::encoding_utf16);
    if (!result)
        return false;
    // pugixml tolerates several top-level elements or text there; XML does not.
    int elements = 0;
    for (pugi::xml_node c = doc.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element)
            ++elements;
        else if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            return false;
    }
    return elements == 1;
}

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void AppendCharRef(QByteArray& out, char c)
{
    out += "&#" + QByteArray::number(int(static_cast<unsigned char>(c))) + ';';
}

// The reserved characters as entities. Attribute values also escape quotes,
// and tab and line breaks as character references, since a reader turns
// literal ones into blanks; text keeps those, with line breaks as the layout
// asks. A carriage return is a reference in both, or a reader would drop it.
void AppendEscaped(QByteArray& out, const char* s, bool attribute, bool indent)
{
    for (; *s; ++s) {
        switch (*s) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            AppendCharRef(out, *s);
            break;
        case '"':
        case '\t':
        case '\n':
            if (attribute) {
                if (*s == '"')
                    out += "&quot;";
                else
                    AppendCharRef(out, *s);
            } else if (*s == '\n') {
                out += indent ? "\r\n" : "\n";
            } else {
                out += *s;
            }
            break;
        default:
            out += *s;
            break;
        }
    }
}

void AppendAttributeValue(QByteArray& out, const char* s)
{
    AppendEscaped(out, s, true, false);
}

void AppendText(QByteArray& out, const char* s, bool indent)
{
    bool blankOnly = *s != '\0';
    for (const char* p = s; *p; ++p)
        blankOnly = blankOnly && IsXmlSpace(*p);
    if (blankOnly) {
        // Readers drop text made only of blanks; one reference keeps it.
        AppendCharRef(out, *s++);
    }
    AppendEscaped(out, s, false, indent);
}

bool IsTextNode(const pugi::xml_node& n)
{
    return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
}

void PrintNode(QByteArray& out, const pugi::xml_node& node, int depth, bool indent);

void PrintElement(QByteArray& out, const pugi::xml_node& e, int depth, bool indent)
{
    const char* nl = indent ? "\r\n" : "";
    if (indent)
        out += QByteArray(depth, '\t');
    out += '<';
    out += e.name();
    for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute()) {
        out += ' ';
        out += a.name();
        out += "=\"";
        AppendAttributeValue(out, a.value());
        out += '"';
    }
    bool anyChild = false, anyText = false, onlyText = true;
    for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling()) {
        if (IsTextNode(c) && !*c.value())
            continue;  // an empty text is no content
        anyChild = true;
        anyText = anyText || IsTextNode(c);
        onlyText = onlyText && IsTextNode(c);
    }
    if (!anyChild) {
        out += "/>";
        out += nl;
        return;
    }
    out += '>';
    // Text keeps its place: an element holding text is written on one line,
    // with nothing added inside it.
    const bool inner = indent && !anyText;
    if (inner)
        out += nl;
    for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling()) {
        if (onlyText)
            AppendText(out, c.value(), indent);
        else
            PrintNode(out, c, depth + 1, inner);
    }
    if (inner)
        out += QByteArray(depth, '\t');
    out += "</";
    out += e.name();
    out += '>';
    out += nl;
}

void PrintNode(QByteArray& out, const pugi::xml_node& node, int depth, bool indent)
{
    const QByteArray lead = indent ? QByteArray(depth, '\t') : QByteArray();
    const char* nl = indent ? "\r\n" : "";
    switch (node.type()) {
    case pugi::node_element:
        PrintElement(out, node, depth, indent);
        break;
    case pugi::node_pcdata:
    case pugi::node_cdata:
        AppendText(out, node.value(), false);
        break;
    case pugi::node_comment:
        out += lead + "<!--" + node.value() + "-->" + nl;
        break;
    case pugi::node_pi:
        out += lead + "<?" + node.name();
        if (*node.value())
            out += QByteArray(" ") + node.value();
        out += QByteArray("?>") + nl;
        break;
    default:
        break;
    }
}

// Builds a document whose root the writer fills; false when the writer fails.
template <typename Finish>
bool BuildDocument(const QString& rootName, XmlWriteCallback write, void* context, CXmlFileBase& self,
                   Finish finish)
{
    if (rootName.isEmpty())
        return false;
    pugi::xml_document doc;
    CXmlDocument document(doc.internal_object());
    CXmlNode root = document.CreateElement(rootName);
    const int rc = write ? write(context, document, root) : self.Write(document, root);
    if (rc != 0)
        return false;
    return finish(pugi::xml_node(root.Handle()));
}

}  // namespace

bool CXmlFileBase::Load(const QString& path, XmlReadCallback read, void* context)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    QString text;
    if (!DecodeDocument(bytes, text))
        return false;
    return LoadXml(text, read, context);
}

bool CXmlFileBase::LoadXml(const QString& text, XmlReadCallback read, void* context)
{
    pugi::xml_document doc;
    if (!ParseDocument(text, doc))
        return false;
    const CXmlNode root(doc.document_element().internal_object());
    const int rc = read ? read(context, root) : Read(root);
    return rc == 0;
}

bool CXmlFileBase::Save(const QString& path, const QString& rootName, XmlWriteCallback write, void* context)
{
    return SaveFile(path, rootName, write, context, nullptr);
}

bool CXmlFileBase::SaveFile(const QString& path, const QString& rootName, XmlWriteCallback write,
                            void* context, CFailure* failure)
{
    if (failure)
        *failure = {GetTextString(TEXT::CannotWrite), path, GetTextString(TEXT::DocumentNotBuilt)};
    return BuildDocument(rootName, write, context, *this, [&](const pugi::xml_node& root) {
        QByteArray bytes("\xEF\xBB\xBF");
        bytes += kDeclaration;
        bytes += "\r\n";
        PrintElement(bytes, root, 0, true);
        // Written beside the target and renamed over it, so a failed write
        // leaves the old file whole.
        PLATFORM::FileWriteOptions options;
        options.durable = true;
        CFailure why;
        const bool saved = PLATFORM::WriteFileInPlace(path, bytes, options, &why);
        if (failure)
            *failure = saved ? CFailure() : why;
        return saved;
    });
}

bool CXmlFileBase::SaveXml(QString& output, const QString& rootName, bool indent, XmlWriteCallback write,
                           void* context)
{
    return BuildDocument(rootName, write, context, *this, [&](const pugi::xml_node& root) {
        QByteArray bytes;
        PrintElement(bytes, root, 0, indent);
        output = QString::fromUtf8(bytes);
        return true;
    });
}

bool CXmlFileBase::AddChildInt(CXmlDocument& document, CXmlNode parent, const QString& name, int32_t value)
{
    return AddChildText(document, parent, name, QString::number(value));
}

bool CXmlFileBase::AddChildUInt(CXmlDocument& document, CXmlNode parent, const QString& name, uint32_t value)
{
    return AddChildText(document, parent, name, QString::number(value));
}

bool CXmlFileBase::AddChildText(CXmlDocument& document, CXmlNode parent, const QString& name,
                                const QString& text)
{
    CXmlNode child = document.CreateElement(name);
    return child.SetText(text) && parent.AppendChild(child);
}

bool CXmlFileBase::GetChildInt(CXmlNode node, const QString& name, int32_t& value)
{
    QString text;
    if (!GetChildText(node, name, text))
        return false;
    value = ReadDecimal(text);
    return true;
}

bool CXmlFileBase::GetChildUInt(CXmlNode node, const QString& name, uint32_t& value)
{
    QString text;
    if (!GetChildText(node, name, text))
        return false;
    // wcstoul with a 32-bit result: too large saturates, a negative value
    // wraps modulo 2^32.
    const DecimalParts parts = ReadDecimalParts(text);
    if (parts.magnitude > std::numeric_limits<uint32_t>::max())
        value = std::numeric_limits<uint32_t>::max();
    else
        value = parts.negative ? uint32_t(0u - uint32_t(parts.magnitude)) : uint32_t(parts.magnitude);
    return true;
}

bool CXmlFileBase::GetChildText(CXmlNode node, const QString& name, QString& text)
{
    const CXmlNode child = node.SelectChild(name);
    if (child.IsNull())
        return false;
    text = child.Text();
    return true;
}

int CXmlFileBase::Read(CXmlNode)
{
    return -1;
}

int CXmlFileBase::Write(CXmlDocument&, CXmlNode)
{
    return -1;
}

bool GetAttribute(const CXmlAttributes& attributes, const QString& name, QString& value)
{
    return attributes.Lookup(name, value);
}

}  // namespace BASE
