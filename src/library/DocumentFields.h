#pragma once

#include <memory>
#include <string>
#include <vector>

namespace lucene::document {
class Document;
class Field;
}

namespace library {

/// One index document after another, made of fields that are made once for
/// each name and kind and then only given each document's value (copied):
/// the search engine interns a field's name, under one lock of the whole
/// program, each time a field is made, and lets go of it with the field, so
/// a writer of many documents makes its fields once. The document lists the
/// fields without owning them. One thread at a time.
class DocumentFields {
public:
    DocumentFields();
    ~DocumentFields();
    DocumentFields(const DocumentFields&) = delete;
    DocumentFields& operator=(const DocumentFields&) = delete;

    /// Empties the document for the next one.
    void clear();
    /// Adds a field `name` holding `value` with the engine's `flags` (its
    /// store, index and term vector choices, combined).
    void add(const wchar_t* name, const std::wstring& value, int flags);
    /// The document as added to so far, for the writer.
    lucene::document::Document& document() { return *listed; }

private:
    struct Slot;

    std::vector<Slot> slots;
    std::size_t round = 1;  // the document being made; a slot used in it has this round
    std::size_t next = 0;   // where the slot of the next field most likely is
    std::unique_ptr<lucene::document::Document> listed;
};

} // namespace library
