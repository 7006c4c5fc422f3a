#include "runtime/Classes.h"

#include <algorithm>
#include <charconv>
#include <map>

void TPersistent::Assign(const TPersistent* Source) {
    AssignError(Source);
}

void TPersistent::DefineProperties(TFiler&) {}

void TPersistent::AssignError(const TPersistent* Source) const {
    const std::string source = Source ? Source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + source + " to a " + ClassName());
}

// --- TFiler ---------------------------------------------------------------------------------

namespace {
[[noreturn]] void InvalidValue(const std::string& Name, const std::string& Text) {
    throw EReadError("Invalid value \"" + Text + "\" for property " + Name);
}
} // namespace

void TFiler::Property(const std::string& Name, const std::string& Value,
                      const std::optional<std::string>& Default,
                      const std::function<void(const std::string&)>& Set) {
    DoProperty(FPrefix + Name, Value, !Default || *Default != Value, Set);
}

void TFiler::Integer(const std::string& Name, std::int64_t Value,
                     std::optional<std::int64_t> Default,
                     const std::function<void(std::int64_t)>& Set) {
    Property(Name, std::to_string(Value),
             Default ? std::optional<std::string>(std::to_string(*Default)) : std::nullopt,
             [&](const std::string& s) {
                 std::int64_t v = 0;
                 auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
                 if (ec != std::errc() || end != s.data() + s.size())
                     InvalidValue(FPrefix + Name, s);
                 Set(v);
             });
}

void TFiler::Boolean(const std::string& Name, bool Value, std::optional<bool> Default,
                     const std::function<void(bool)>& Set) {
    auto text = [](bool b) { return std::string(b ? "True" : "False"); };
    Property(Name, text(Value), Default ? std::optional<std::string>(text(*Default)) : std::nullopt,
             [&](const std::string& s) {
                 if (s != "True" && s != "False")
                     InvalidValue(FPrefix + Name, s);
                 Set(s == "True");
             });
}

void TFiler::Text(const std::string& Name, const std::string& Value,
                  const std::function<void(const std::string&)>& Set) {
    DoProperty(FPrefix + Name, Value, !Value.empty(), Set);
}

void TFiler::Object(const std::string& Name, TPersistent& Sub) {
    const std::string saved = FPrefix;
    FPrefix += Name + ".";
    try {
        Sub.DefineProperties(*this);
    } catch (...) {
        FPrefix = saved;
        throw;
    }
    FPrefix = saved;
}

std::size_t TFiler::IdentIndex(const std::string& Name, const std::string& Text,
                               const char* const* Idents, std::size_t Count) {
    for (std::size_t i = 0; i < Count; ++i)
        if (Text == Idents[i])
            return i;
    InvalidValue(Name, Text);
}

std::string TFiler::SetToText(std::uint32_t Bits, const char* const* Idents, std::size_t Count) {
    std::string out = "[";
    for (std::size_t i = 0; i < Count; ++i) {
        if (Bits & (1u << i)) {
            if (out.size() > 1)
                out += ",";
            out += Idents[i];
        }
    }
    return out + "]";
}

std::uint32_t TFiler::TextToSet(const std::string& Name, const std::string& Text,
                                const char* const* Idents, std::size_t Count) {
    if (Text.size() < 2 || Text.front() != '[' || Text.back() != ']')
        InvalidValue(Name, Text);
    std::uint32_t bits = 0;
    std::string body = Text.substr(1, Text.size() - 2);
    std::size_t pos = 0;
    while (!body.empty() && pos <= body.size()) {
        std::size_t comma = body.find(',', pos);
        std::string item =
            body.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        std::size_t i = 0;
        while (i < Count && item != Idents[i])
            ++i;
        if (i == Count)
            InvalidValue(Name, Text);
        bits |= 1u << i;
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return bits;
}

// --- TComponent -----------------------------------------------------------------------------

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
    if (FOwner)
        FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
    FComponentState.Include(csDestroying);
    // Owned components go last-created first, as each may refer to those made before it.
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        FComponents.pop_back();
        child->FOwner = nullptr;
        delete child;
    }
    if (FOwner) {
        auto& siblings = FOwner->FComponents;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

void TComponent::BeginLoading() {
    FComponentState.Include(csLoading);
}

void TComponent::FinishLoading() {
    FComponentState.Exclude(csLoading);
}

namespace {
class TWriter : public TFiler {
public:
    TStoredDescription Result;

protected:
    void DoProperty(const std::string& FullName, const std::string& Value, bool Stored,
                    const std::function<void(const std::string&)>&) override {
        if (Stored)
            Result.emplace_back(FullName, Value);
    }
};

class TReader : public TFiler {
public:
    explicit TReader(const TStoredDescription& Description) {
        for (const auto& [name, value] : Description)
            if (!Pending.emplace(name, value).second)
                throw EReadError("Property " + name + " is given twice");
    }
    std::map<std::string, std::string> Pending;

protected:
    void DoProperty(const std::string& FullName, const std::string&, bool,
                    const std::function<void(const std::string&)>& Set) override {
        auto it = Pending.find(FullName);
        if (it == Pending.end())
            return;
        const std::string value = it->second;
        Pending.erase(it);
        Set(value);
    }
};
} // namespace

TStoredDescription TComponent::StoredDescription() const {
    TWriter writer;
    // The writer only reads values; it never calls a property's setter.
    const_cast<TComponent*>(this)->DefineProperties(writer);
    return std::move(writer.Result);
}

void TComponent::LoadStoredDescription(const TStoredDescription& Description) {
    TReader reader(Description);
    BeginLoading();
    try {
        DefineProperties(reader);
        if (!reader.Pending.empty())
            throw EReadError("Property " + reader.Pending.begin()->first + " does not exist");
    } catch (...) {
        TComponent::FinishLoading();
        throw;
    }
    FinishLoading();
}
