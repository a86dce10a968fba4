#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "manifest/XmlFileBase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include <sys/stat.h>

using namespace BASE;

namespace {

struct ReadLog {
    int calls = 0;
    QString rootName;
    int result = 0;
};

int RecordRoot(void* context, CXmlNode root)
{
    auto* log = static_cast<ReadLog*>(context);
    ++log->calls;
    log->rootName = root.Name();
    return log->result;
}

QString WriteDoc(const QByteArray& bytes, const QString& name = QStringLiteral("doc.xml"))
{
    const QString path = TESTS::SandboxPath(name);
    TESTS::WriteFileBytes(path, bytes);
    return path;
}

int FailingWriter(void*, CXmlDocument&, CXmlNode)
{
    return -1;
}

TEST(XmlLoadTest, MissingFileCallsNoReader)
{
    CXmlFileBase xml;
    ReadLog log;
    EXPECT_FALSE(xml.Load(TESTS::SandboxPath("absent.xml"), RecordRoot, &log));
    EXPECT_FALSE(xml.Load(TESTS::SandboxRoot(), RecordRoot, &log));  // a folder
    EXPECT_EQ(log.calls, 0);
}

struct BadDoc {
    const char* name;
    QByteArray bytes;
};

void PrintTo(const BadDoc& c, std::ostream* os)
{
    *os << c.name;
}

class XmlMalformedTest : public testing::TestWithParam<BadDoc> {};

TEST_P(XmlMalformedTest, FailsWithoutCallingReader)
{
    CXmlFileBase xml;
    ReadLog log;
    EXPECT_FALSE(xml.Load(WriteDoc(GetParam().bytes), RecordRoot, &log));
    EXPECT_EQ(log.calls, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Docs, XmlMalformedTest,
    testing::Values(BadDoc{"Empty", QByteArray()}, BadDoc{"Unclosed", "<a><b></b>"},
                    BadDoc{"Mismatched", "<a></b>"}, BadDoc{"TwoRoots", "<a/><b/>"},
                    BadDoc{"TextOnly", "plain text"}, BadDoc{"TextAfterRoot", "<a/>tail"},
                    BadDoc{"BadAttribute", "<a x=1/>"}, BadDoc{"NulInside", QByteArray("<a>x\0y</a>", 10)},
                    BadDoc{"InvalidUtf8", "<a>\xff\xfe</a>"},
                    BadDoc{"UnknownEncoding", "<?xml version=\"1.0\" encoding=\"x-none-such\"?><a/>"},
                    BadDoc{"Utf16DeclaredIn8Bit", "<?xml version=\"1.0\" encoding=\"utf-16\"?><a/>"}),
    TESTS::CaseName());

TEST(XmlLoadTest, AnyRootNameReachesReader)
{
    CXmlFileBase xml;
    ReadLog log;
    EXPECT_TRUE(xml.Load(WriteDoc("<?xml version=\"1.0\"?>\n<descriptor x=\"1\"/>\n"), RecordRoot, &log));
    EXPECT_EQ(log.calls, 1);
    EXPECT_EQ(log.rootName, QStringLiteral("descriptor"));
}

TEST(XmlLoadTest, ReaderFailureFailsLoad)
{
    CXmlFileBase xml;
    ReadLog log;
    log.result = -1;
    EXPECT_FALSE(xml.Load(WriteDoc("<a/>"), RecordRoot, &log));
    EXPECT_FALSE(xml.LoadXml(QStringLiteral("<a/>"), RecordRoot, &log));
    EXPECT_EQ(log.calls, 2);
}

TEST(XmlLoadTest, BaseReaderAndWriterFail)
{
    CXmlFileBase xml;
    EXPECT_FALSE(xml.Load(WriteDoc("<a/>")));
    const QString target = TESTS::SandboxPath("out.xml");
    EXPECT_FALSE(xml.Save(target, QStringLiteral("a")));
    EXPECT_FALSE(QFileInfo::exists(target));
}

struct EncodedDoc {
    const char* name;
    QByteArray bytes;
    const char16_t* text;  // expected text of <t>
};

void PrintTo(const EncodedDoc& c, std::ostream* os)
{
    *os << c.name;
}

class XmlEncodingTest : public testing::TestWithParam<EncodedDoc> {};

int ReadT(void* context, CXmlNode root)
{
    CXmlFileBase xml;
    return xml.GetChildText(root, QStringLiteral("t"), *static_cast<QString*>(context)) ? 0 : 1;
}

QByteArray Utf16(const QString& s, bool bigEndian, bool bom)
{
    QByteArray out;
    if (bom)
        out += bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (QChar c : s) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += bigEndian ? QByteArray{&hi, 1} + QByteArray{&lo, 1} : QByteArray{&lo, 1} + QByteArray{&hi, 1};
    }
    return out;
}

const QString kMixed = QStringLiteral("<r><t>Pr\u00fcfung \u6a21\u677f</t></r>");

TEST_P(XmlEncodingTest, TextDecodedByMarkOrDeclaration)
{
    CXmlFileBase xml;
    QString text;
    ASSERT_TRUE(xml.Load(WriteDoc(GetParam().bytes), ReadT, &text));
    EXPECT_EQ(text, QString::fromUtf16(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, XmlEncodingTest,
    testing::Values(EncodedDoc{"Utf8Bom", "\xEF\xBB\xBF" + kMixed.toUtf8(), u"Pr\u00fcfung \u6a21\u677f"},
                    EncodedDoc{"Utf8Plain",
                               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + kMixed.toUtf8(),
                               u"Pr\u00fcfung \u6a21\u677f"},
                    EncodedDoc{"Utf16LeBom", Utf16(kMixed, false, true), u"Pr\u00fcfung \u6a21\u677f"},
                    EncodedDoc{"Utf16BeBom", Utf16(kMixed, true, true), u"Pr\u00fcfung \u6a21\u677f"},
                    EncodedDoc{"Utf16LeNoBom", Utf16(kMixed, false, false), u"Pr\u00fcfung \u6a21\u677f"},
                    EncodedDoc{"Latin1Declared",
                               "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><t>Pr\xfc"
                               "fung</t></r>",
                               u"Pr\u00fcfung"},
                    EncodedDoc{"GbkDeclared",
                               "<?xml version='1.0' encoding='GBK'?><r><t>\xc4\xa3\xb0\xe5</t></r>",
                               u"\u6a21\u677f"}),
    TESTS::CaseName());

// The readers of list sections rely on exactly these child nodes.
TEST(XmlNodeTest, ChildNodesSkipWhitespaceButKeepCommentsAndText)
{
    const QString doc =
        QStringLiteral("<r>\r\n\t<a/>\r\n\t<!-- note -->\r\n\t<?pi data?>\r\n\tloose\r\n\t<b/>\r\n</r>");
    std::vector<QString> names;
    std::vector<bool> elements;
    struct Out {
        std::vector<QString>* names;
        std::vector<bool>* elements;
    } out{&names, &elements};
    auto read = [](void* context, CXmlNode root) {
        auto* o = static_cast<Out*>(context);
        for (const CXmlNode& n : root.ChildNodes()) {
            o->names->push_back(n.IsElement() ? n.Name() : n.Text().trimmed());
            o->elements->push_back(n.IsElement());
        }
        return 0;
    };
    CXmlFileBase xml;
    ASSERT_TRUE(xml.LoadXml(doc, read, &out));
    EXPECT_EQ(names, (std::vector<QString>{"a", "note", "data", "loose", "b"}));
    EXPECT_EQ(elements, (std::vector<bool>{true, false, false, false, true}));
}

TEST(XmlNodeTest, TextIsAllTextBelowElement)
{
    CXmlFileBase xml;
    QString text;
    ASSERT_TRUE(xml.LoadXml(QStringLiteral("<r><t>a<i>b<![CDATA[<c>]]></i> &amp; d</t></r>"), ReadT, &text));
    EXPECT_EQ(text, QStringLiteral("ab<c> & d"));
}

struct IntCase {
    const char* name;
    const char* xml;  // body of <r>
    bool found;
    int32_t asInt;
    uint32_t asUInt;
};

void PrintTo(const IntCase& c, std::ostream* os)
{
    *os << c.name;
}

class XmlChildIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(XmlChildIntTest, ParsesLikeWcstol)
{
    const IntCase& c = GetParam();
    struct Result {
        bool intFound, uintFound;
        int32_t i = 7;
        uint32_t u = 7;
    } r{};
    auto read = [](void* context, CXmlNode root) {
        auto* res = static_cast<Result*>(context);
        CXmlFileBase xml;
        res->intFound = xml.GetChildInt(root, QStringLiteral("value"), res->i);
        res->uintFound = xml.GetChildUInt(root, QStringLiteral("value"), res->u);
        return 0;
    };
    CXmlFileBase xml;
    ASSERT_TRUE(xml.LoadXml(QStringLiteral("<r>%1</r>").arg(QString::fromUtf8(c.xml)), read, &r));
    EXPECT_EQ(r.intFound, c.found);
    EXPECT_EQ(r.uintFound, c.found);
    EXPECT_EQ(r.i, c.asInt);
    EXPECT_EQ(r.u, c.asUInt);
}

INSTANTIATE_TEST_SUITE_P(
    Values, XmlChildIntTest,
    testing::Values(IntCase{"Plain", "<value>202208</value>", true, 202208, 202208u},
                    IntCase{"Empty", "<value/>", true, 0, 0u},
                    IntCase{"Missing", "<other>5</other>", false, 7, 7u},
                    IntCase{"MinusOne", "<value>-1</value>", true, -1, 4294967295u},
                    IntCase{"BlanksSignTrailing", "<value> \t+42xyz</value>", true, 42, 42u},
                    IntCase{"NoDigits", "<value>abc</value>", true, 0, 0u},
                    IntCase{"FirstOfTwo", "<value>1</value><value>2</value>", true, 1, 1u},
                    IntCase{"IntMin", "<value>-2147483648</value>", true, INT_MIN, 2147483648u},
                    IntCase{"TooLarge", "<value>99999999999</value>", true, INT_MAX, UINT_MAX},
                    IntCase{"TooSmall", "<value>-99999999999</value>", true, INT_MIN, UINT_MAX}),
    TESTS::CaseName());

TEST(XmlNodeTest, GetAttributeTellsEmptyFromAbsent)
{
    struct Result {
        bool empty, absent, onComment;
        QString emptyValue = "x", absentValue = "keep", commentValue = "keep";
    } r{};
    auto read = [](void* context, CXmlNode root) {
        auto* res = static_cast<Result*>(context);
        const CXmlNode a = root.SelectChild(QStringLiteral("a"));
        res->empty = GetAttribute(a.Attributes(), QStringLiteral("action"), res->emptyValue);
        res->absent = GetAttribute(a.Attributes(), QStringLiteral("Action"), res->absentValue);
        const CXmlNode comment = root.ChildNodes().at(1);
        res->onComment = GetAttribute(comment.Attributes(), QStringLiteral("action"), res->commentValue);
        return 0;
    };
    CXmlFileBase xml;
    ASSERT_TRUE(xml.LoadXml(QStringLiteral("<r><a action=\"\"/><!-- action=\"x\" --></r>"), read, &r));
    EXPECT_TRUE(r.empty);
    EXPECT_EQ(r.emptyValue, QString());
    EXPECT_FALSE(r.absent);
    EXPECT_EQ(r.absentValue, QStringLiteral("keep"));
    EXPECT_FALSE(r.onComment);
    EXPECT_EQ(r.commentValue, QStringLiteral("keep"));
}

// A writer exercising every rule of the saved form.
int SampleWriter(void* context, CXmlDocument& document, CXmlNode root)
{
    auto* xml = static_cast<CXmlFileBase*>(context);
    CXmlNode a = document.CreateElement(QStringLiteral("a"));
    a.SetAttribute(QStringLiteral("z"), QStringLiteral("1"));
    a.SetAttribute(QStringLiteral("empty"), QString());
    a.SetAttribute(QStringLiteral("q"), QStringLiteral("say \"hi\" <&> 'x'"));
    root.AppendChild(a);
    xml->AddChildText(document, root, QStringLiteral("t"), QStringLiteral("x < y & z > w \u6a21"));
    CXmlNode nest = document.CreateElement(QStringLiteral("nest"));
    CXmlNode inner = document.CreateElement(QStringLiteral("inner"));
    xml->AddChildUInt(document, inner, QStringLiteral("u"), 4294967295u);
    xml->AddChildInt(document, inner, QStringLiteral("i"), -5);
    xml->AddChildText(document, inner, QStringLiteral("none"), QString());
    nest.AppendChild(inner);
    root.AppendChild(nest);
    document.CreateElement(QStringLiteral("stray"));  // never attached, never saved
    return 0;
}

const QByteArray kSampleBody =
    "<root>\r\n"
    "\t<a z=\"1\" empty=\"\" q=\"say &quot;hi&quot; &lt;&amp;&gt; 'x'\"/>\r\n"
    "\t<t>x &lt; y &amp; z &gt; w \xe6\xa8\xa1</t>\r\n"
    "\t<nest>\r\n"
    "\t\t<inner>\r\n"
    "\t\t\t<u>4294967295</u>\r\n"
    "\t\t\t<i>-5</i>\r\n"
    "\t\t\t<none/>\r\n"
    "\t\t</inner>\r\n"
    "\t</nest>\r\n"
    "</root>\r\n";

TEST(XmlSaveTest, SavedFormIsExact)
{
    CXmlFileBase xml;
    const QString target = TESTS::SandboxPath("saved.xml");
    ASSERT_TRUE(xml.Save(target, QStringLiteral("root"), SampleWriter, &xml));
    EXPECT_EQ(TESTS::ReadFileBytes(target),
              QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n") + kSampleBody);
}

TEST(XmlSaveTest, SaveXmlIndentedOrCompact)
{
    CXmlFileBase xml;
    QString text;
    ASSERT_TRUE(xml.SaveXml(text, QStringLiteral("root"), true, SampleWriter, &xml));
    EXPECT_EQ(text.toUtf8(), kSampleBody);
    ASSERT_TRUE(xml.SaveXml(text, QStringLiteral("root"), false, SampleWriter, &xml));
    EXPECT_EQ(text.toUtf8(),
              QByteArray("<root><a z=\"1\" empty=\"\" q=\"say &quot;hi&quot; &lt;&amp;&gt; 'x'\"/>"
                         "<t>x &lt; y &amp; z &gt; w \xe6\xa8\xa1</t>"
                         "<nest><inner><u>4294967295</u><i>-5</i><none/></inner></nest></root>"));
    text = QStringLiteral("unchanged");
    EXPECT_FALSE(xml.SaveXml(text, QStringLiteral("root"), true, FailingWriter, nullptr));
    EXPECT_EQ(text, QStringLiteral("unchanged"));
}

TEST(XmlSaveTest, FailingWriterLeavesExistingFileUntouched)
{
    CXmlFileBase xml;
    const QString dir = TESTS::SandboxPath("folder");
    const QString target = dir + "/uninstall.xml";
    TESTS::WriteFileBytes(target, "old content");
    EXPECT_FALSE(xml.Save(target, QStringLiteral("install"), FailingWriter, nullptr));
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("old content"));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"uninstall.xml"});
}

TEST(XmlSaveTest, ReplacesFileWithoutLeftovers)
{
    CXmlFileBase xml;
    const QString dir = TESTS::SandboxPath("folder");
    const QString target = dir + "/saved.xml";
    TESTS::WriteFileBytes(target, QByteArray(10000, 'x'));
    ASSERT_TRUE(xml.Save(target, QStringLiteral("root"), SampleWriter, &xml));
    EXPECT_TRUE(TESTS::ReadFileBytes(target).endsWith(kSampleBody));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"saved.xml"});
}

TEST(XmlSaveTest, NewFileIsReadableByOthers)
{
    const mode_t old = umask(022);
    CXmlFileBase xml;
    const QString target = TESTS::SandboxPath("new.xml");
    const bool saved = xml.Save(target, QStringLiteral("root"), SampleWriter, &xml);
    umask(old);
    ASSERT_TRUE(saved);
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(XmlSaveTest, MissingFolderFails)
{
    CXmlFileBase xml;
    EXPECT_FALSE(
        xml.Save(TESTS::SandboxPath("no/such/folder/x.xml"), QStringLiteral("root"), SampleWriter, &xml));
}

// Texts a reader would otherwise alter (line breaks and tabs in attributes,
// blank-only text, a lone CR) must come back as they were saved.
TEST(XmlSaveTest, AwkwardTextsSurviveSaveAndLoad)
{
    const QStringList texts = {QStringLiteral("line1\r\nline2\nline3\rend"),
                               QStringLiteral("\ttabbed\t"),
                               QStringLiteral("  padded  "),
                               QStringLiteral("   "),
                               QStringLiteral("\r\n"),
                               QStringLiteral("]]> &amp; \"'"),
                               QStringLiteral("\u6a21\u677f \U0001F600")};
    for (const QString& value : texts) {
        SCOPED_TRACE(value.toStdString());
        auto write = [](void* context, CXmlDocument& document, CXmlNode root) {
            const QString& v = *static_cast<const QString*>(context);
            root.SetAttribute(QStringLiteral("v"), v);
            CXmlFileBase xml;
            xml.AddChildText(document, root, QStringLiteral("t"), v);
            return 0;
        };
        struct Back {
            QString attribute, text;
        } back;
        auto read = [](void* context, CXmlNode root) {
            auto* b = static_cast<Back*>(context);
            GetAttribute(root.Attributes(), QStringLiteral("v"), b->attribute);
            CXmlFileBase xml;
            xml.GetChildText(root, QStringLiteral("t"), b->text);
            return 0;
        };
        CXmlFileBase xml;
        const QString target = TESTS::SandboxPath("awkward.xml");
        ASSERT_TRUE(xml.Save(target, QStringLiteral("r"), write, const_cast<QString*>(&value)));
        ASSERT_TRUE(xml.Load(target, read, &back));
        EXPECT_EQ(back.attribute, value);
        EXPECT_EQ(back.text, value);
        QString compact;
        ASSERT_TRUE(xml.SaveXml(compact, QStringLiteral("r"), false, write, const_cast<QString*>(&value)));
        back = {};
        ASSERT_TRUE(xml.LoadXml(compact, read, &back));
        EXPECT_EQ(back.attribute, value);
        EXPECT_EQ(back.text, value);
    }
}

}  // namespace
