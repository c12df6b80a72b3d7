#include "library/DocumentFields.h"

#include <CLucene.h>

#include <cwchar>

namespace library {

using lucene::document::Document;
using lucene::document::Field;

struct DocumentFields::Slot {
    std::wstring name;
    int flags;
    std::unique_ptr<Field> field;
    std::size_t usedIn = 0;  // the round it was last added in
};

DocumentFields::DocumentFields() : listed(std::make_unique<Document>())
{
    // The list's entries are the slots' fields.
    const_cast<Document::FieldsType*>(listed->getFields())->setDoDelete(false);
}

DocumentFields::~DocumentFields()
{
    listed->clear();
}

void DocumentFields::clear()
{
    listed->clear();
    ++round;
    next = 0;
}

void DocumentFields::add(const wchar_t* name, const std::wstring& value, int flags)
{
    // Documents add their fields in much the same order: the slot after the
    // last one taken is tried first.
    auto fits = [&](const Slot& slot) { return slot.usedIn != round && slot.flags == flags && slot.name == name; };
    std::size_t at = next;
    if (at >= slots.size() || !fits(slots[at])) {
        at = 0;
        while (at < slots.size() && !fits(slots[at]))
            ++at;
    }
    if (at == slots.size()) {
        slots.push_back({name, flags, std::make_unique<Field>(name, value.c_str(), flags), round});
    } else {
        slots[at].field->setValue(const_cast<wchar_t*>(value.c_str()), true);
        slots[at].usedIn = round;
    }
    next = at + 1;
    listed->add(*slots[at].field);
}

} // namespace library
