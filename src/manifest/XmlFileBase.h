// Base of every XML document class: load a document and hand its root to a
// reader, build a document through a writer and save it in the fixed indented
// form, and small helpers to read or add one child element by name.
#pragma once

#include "common/Failure.h"
#include "manifest/XmlDocument.h"
#include "manifest/XmlNode.h"

#include <QString>

#include <cstdint>

namespace BASE {

// Reader: gets the root element of a loaded document; 0 means success.
using XmlReadCallback = int (*)(void* context, CXmlNode root);
// Writer: fills the (not yet attached) root element of a new document; 0 means success.
using XmlWriteCallback = int (*)(void* context, CXmlDocument& document, CXmlNode root);

class CXmlFileBase {
public:
    CXmlFileBase() = default;
    CXmlFileBase(const CXmlFileBase&) = default;
    CXmlFileBase(CXmlFileBase&&) = default;
    CXmlFileBase& operator=(const CXmlFileBase&) = default;
    CXmlFileBase& operator=(CXmlFileBase&&) = default;
    virtual ~CXmlFileBase() = default;
    bool operator==(const CXmlFileBase&) const = default;

    // Parses the file (UTF-8 with or without byte-order mark, UTF-16/32 with
    // byte-order mark, or the encoding its declaration names) and passes the
    // root element, whatever its name, to the callback or else to Read. True
    // only when the file parsed and the reader returned 0; no reader is called
    // for a missing or malformed file.
    virtual bool Load(const QString& path, XmlReadCallback read = nullptr, void* context = nullptr);
    // Builds a document with the given root name, lets the callback or else
    // Write fill the root, and replaces the file at path with the saved form
    // (UTF-8 with byte-order mark, XML declaration, tab indentation, CR LF).
    // The file is replaced atomically; when the writer returns non-zero or
    // anything fails nothing at path changes and the result is false.
    virtual bool Save(const QString& path, const QString& rootName, XmlWriteCallback write = nullptr,
                      void* context = nullptr);
    // Save, telling why it failed (failure may be null; cleared on success).
    bool SaveFile(const QString& path, const QString& rootName, XmlWriteCallback write, void* context,
                  CFailure* failure);
    // Load from text in memory; the text's own declaration of an encoding is ignored.
    virtual bool LoadXml(const QString& text, XmlReadCallback read = nullptr, void* context = nullptr);
    // Builds a document like Save and returns it without declaration: indented
    // exactly as Save does when indent is set, else on one line. The output is
    // left unchanged when the writer returns non-zero.
    virtual bool SaveXml(QString& output, const QString& rootName, bool indent,
                         XmlWriteCallback write = nullptr, void* context = nullptr);

    virtual bool AddChildInt(CXmlDocument& document, CXmlNode parent, const QString& name, int32_t value);
    virtual bool AddChildUInt(CXmlDocument& document, CXmlNode parent, const QString& name, uint32_t value);
    // Appends <name>text</name> as the parent's last child.
    virtual bool AddChildText(CXmlDocument& document, CXmlNode parent, const QString& name,
                              const QString& text);
    // Decimal like wcstol/wcstoul with 32-bit results: leading blanks and a
    // sign accepted, stops at the first non-digit, no digits give 0, values
    // out of range saturate; the unsigned form negates modulo 2^32 as
    // wcstoul does ("-1" gives 4294967295).
    virtual bool GetChildInt(CXmlNode node, const QString& name, int32_t& value);
    virtual bool GetChildUInt(CXmlNode node, const QString& name, uint32_t& value);
    // Text of the first child element with that name; false (text untouched) when there is none.
    virtual bool GetChildText(CXmlNode node, const QString& name, QString& text);

    // The document's own reader and writer; the base ones do nothing and fail.
    virtual int Read(CXmlNode root);
    virtual int Write(CXmlDocument& document, CXmlNode root);
};

// Looks an attribute up by exact name; false (value untouched) when the node
// has no attribute map or no such attribute.
bool GetAttribute(const CXmlAttributes& attributes, const QString& name, QString& value);

}  // namespace BASE
