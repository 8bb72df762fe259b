// A VARIANT owned for a scope: empty at first, cleared with what it holds
// (a string, an interface) when it goes. Not copyable.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace mf::gui {

struct OwnedVariant {
    VARIANT value;
    OwnedVariant() { ::VariantInit(&value); }
    ~OwnedVariant() { ::VariantClear(&value); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
};

}  // namespace mf::gui
