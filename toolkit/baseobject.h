#pragma once
// Reference-counted base of views and bitmaps. An object starts with one reference owned by
// whoever created it; `remember` adds one, `forget` drops one and deletes the object at zero.
#include <cstring>

namespace toolkit {

class CBaseObject {
public:
    CBaseObject() = default;
    // A copy is a new object with a reference count of its own.
    CBaseObject(const CBaseObject&) : referenceCount(1) {}
    CBaseObject& operator=(const CBaseObject&) { return *this; }
    virtual ~CBaseObject() = default;

    void remember() { ++referenceCount; }
    void forget() {
        if (--referenceCount <= 0) delete this;
    }
    int getNbReference() const { return referenceCount; }

    // Run-time type test by class name, answered along the class chain.
    virtual bool isTypeOf(const char* name) const { return std::strcmp(name, "CBaseObject") == 0; }

private:
    int referenceCount = 1;
};

}  // namespace toolkit
