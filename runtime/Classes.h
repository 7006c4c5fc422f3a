// The object model the serial component is written against: class names, assignable objects,
// owned and named components with a loading phase, and published properties that make up a
// component's stored description.
#pragma once

#include "platform/Export.h"
#include "runtime/Set.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

class TObject;

// A handler that is told only which object raised the event.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// A value that could not be converted or assigned.
class TILLMARK_RUNTIME_API EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A stored description that does not fit the component it is applied to.
class TILLMARK_RUNTIME_API EReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The root of the object model: objects are not copied, are deleted through any base, and
// know their class's name.
class TILLMARK_RUNTIME_API TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // The name of the object's own class, for messages; each class returns its own.
    virtual const char* ClassName() const { return "TObject"; }
};

class TFiler;

// An object whose values can be copied from another and listed as published properties.
class TILLMARK_RUNTIME_API TPersistent : public TObject {
public:
    // The class's name for messages.
    const char* ClassName() const override { return "TPersistent"; }

    // Copies Source into this object; a class that accepts no such source raises EConvertError
    // "Cannot assign a <source class> to a <this class>" ("nil" when there is no source).
    virtual void Assign(const TPersistent* Source);
    void Assign(const TPersistent& Source) { Assign(&Source); }

    // Lists the published properties, in published order, for stored descriptions.
    virtual void DefineProperties(TFiler& Filer);

protected:
    // Raises the EConvertError that Assign describes, for a Source the class does not accept.
    [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// A stored description: published property names (dotted for sub-objects) and their values.
using TStoredDescription = std::vector<std::pair<std::string, std::string>>;

// Visits published properties: writes them to a stored description or sets them from one.
// Each property gives its value as text, its declared default (none: always written) and how
// to set it from text, so declared defaults are data that both directions share.
class TILLMARK_RUNTIME_API TFiler {
public:
    virtual ~TFiler() = default;

    // An integer or a boolean property: its value, its declared default, and its setter.
    void Integer(const std::string& Name, std::int64_t Value, std::optional<std::int64_t> Default,
                 const std::function<void(std::int64_t)>& Set);
    void Boolean(const std::string& Name, bool Value, std::optional<bool> Default,
                 const std::function<void(bool)>& Set);
    // Text is written only when it is not empty.
    void Text(const std::string& Name, const std::string& Value,
              const std::function<void(const std::string&)>& Set);

    // An enumeration property, as its identifier in Idents; an unknown one raises EReadError.
    template <typename E, std::size_t N>
    void Enumeration(const std::string& Name, E Value, const std::array<const char*, N>& Idents,
                     std::optional<E> Default, const std::function<void(E)>& Set) {
        Property(Name, Idents.at(Value),
                 Default ? std::optional<std::string>(Idents.at(*Default)) : std::nullopt,
                 [&](const std::string& s) {
                     Set(static_cast<E>(IdentIndex(Name, s, Idents.data(), N)));
                 });
    }

    // A set property, as its members' identifiers in brackets: "[evRxChar,evTxEmpty]".
    template <typename E, unsigned N>
    void SetOf(const std::string& Name, TSet<E, N> Value, const std::array<const char*, N>& Idents,
               std::optional<TSet<E, N>> Default, const std::function<void(TSet<E, N>)>& SetFn) {
        auto text = [&](TSet<E, N> v) { return SetToText(v.Bits(), Idents.data(), N); };
        Property(Name, text(Value),
                 Default ? std::optional<std::string>(text(*Default)) : std::nullopt,
                 [&](const std::string& s) {
                     SetFn(TSet<E, N>::FromBits(TextToSet(Name, s, Idents.data(), N)));
                 });
    }

    // The published properties of Sub, named "Name.<property>".
    void Object(const std::string& Name, TPersistent& Sub);

protected:
    // One property with its full name. Stored tells whether a writer keeps it.
    virtual void DoProperty(const std::string& FullName, const std::string& Value, bool Stored,
                            const std::function<void(const std::string&)>& Set) = 0;

private:
    void Property(const std::string& Name, const std::string& Value,
                  const std::optional<std::string>& Default,
                  const std::function<void(const std::string&)>& Set);
    static std::size_t IdentIndex(const std::string& Name, const std::string& Text,
                                  const char* const* Idents, std::size_t Count);
    static std::string SetToText(std::uint32_t Bits, const char* const* Idents, std::size_t Count);
    static std::uint32_t TextToSet(const std::string& Name, const std::string& Text,
                                   const char* const* Idents, std::size_t Count);

    std::string FPrefix;
};

// A component's phases: a stored description is being applied (csLoading), or it is being
// destroyed (csDestroying).
enum TComponentStateFlag : std::uint8_t { csLoading, csDestroying };
using TComponentState = TSet<TComponentStateFlag, 2>;

// A named object with an owner. The owner destroys what it owns, so a component created with an
// owner must be allocated with new and is not deleted by anyone else; deleting it earlier is
// allowed and detaches it from its owner.
class TILLMARK_RUNTIME_API TComponent : public TPersistent {
public:
    // Joins AOwner's components, unless AOwner is null.
    explicit TComponent(TComponent* AOwner);
    // Destroys the components it owns, newest first, and leaves its owner.
    ~TComponent() override;
    // The class's name for messages.
    const char* ClassName() const override { return "TComponent"; }

    // The component's name; a port's INI settings use it as their section.
    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { FName = Value; }
    // The component that destroys this one; null when none does.
    TComponent* Owner() const { return FOwner; }
    // The components this one owns, in the order they were made.
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const {
        return FComponents.at(static_cast<std::size_t>(Index));
    }
    // Whether it is loading or being destroyed.
    TComponentState ComponentState() const { return FComponentState; }

    // The loading phase: a stored description is being applied. FinishLoading ends it; a
    // derived class that overrides it calls this base version first.
    void BeginLoading();
    virtual void FinishLoading();

    // The published properties that differ from their declared defaults, in published order.
    TStoredDescription StoredDescription() const;
    // Applies a stored description inside one loading phase. Unknown names raise EReadError.
    void LoadStoredDescription(const TStoredDescription& Description);

private:
    TComponent* FOwner = nullptr;
    std::string FName;
    std::vector<TComponent*> FComponents;
    TComponentState FComponentState;
};
