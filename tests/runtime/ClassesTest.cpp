#include "runtime/Classes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

enum TColour : std::uint8_t { clRed, clGreen, clBlue };
const std::array<const char*, 3> ColourIdents = {"clRed", "clGreen", "clBlue"};
using TColours = TSet<TColour, 3>;

class TInner : public TPersistent {
public:
    const char* ClassName() const override { return "TInner"; }
    void DefineProperties(TFiler& Filer) override {
        Filer.Integer("Size", Size, 10, [&](std::int64_t v) { Size = v; });
    }
    std::int64_t Size = 10;
};

// A component with one property of each kind the filer knows, recording what happens to it.
class TWidget : public TComponent {
public:
    TWidget(TComponent* AOwner, std::vector<std::string>* ALog = nullptr, std::string AName = "")
        : TComponent(AOwner), Log(ALog) {
        SetName(std::move(AName));
    }
    ~TWidget() override {
        if (Log)
            Log->push_back("destroy " + Name());
    }
    const char* ClassName() const override { return "TWidget"; }

    void DefineProperties(TFiler& Filer) override {
        Filer.Integer("Count", Count, 0, [&](std::int64_t v) { Count = v; });
        Filer.Boolean("Enabled", Enabled, std::nullopt, [&](bool v) {
            Enabled = v;
            if (Log)
                Log->push_back(Loading() ? "set while loading" : "set after loading");
        });
        Filer.Text("Caption", Caption, [&](const std::string& v) { Caption = v; });
        Filer.Enumeration<TColour>("Colour", Colour, ColourIdents, clRed,
                                   [&](TColour v) { Colour = v; });
        Filer.SetOf<TColour, 3>("Mix", Mix, ColourIdents, TColours{}, [&](TColours v) { Mix = v; });
        Filer.Object("Inner", Inner);
    }
    void FinishLoading() override {
        TComponent::FinishLoading();
        if (Log)
            Log->push_back(Loading() ? "finished, still loading" : "finished");
    }
    bool Loading() const { return ComponentState().Contains(csLoading); }

    std::vector<std::string>* Log;
    std::int64_t Count = 0;
    bool Enabled = false;
    std::string Caption;
    TColour Colour = clRed;
    TColours Mix;
    TInner Inner;
};

TEST(Persistent, AssignWithoutAnOverrideNamesBothClasses) {
    TInner a;
    TInner b;
    try {
        a.Assign(b);
        FAIL() << "Assign must fail";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TInner to a TInner");
    }
    try {
        a.Assign(nullptr);
        FAIL() << "Assign must fail";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a nil to a TInner");
    }
}

TEST(Component, OwnerDestroysOwnedComponentsNewestFirst) {
    std::vector<std::string> log;
    {
        TWidget form(nullptr, &log, "form");
        new TWidget(&form, &log, "first");
        new TWidget(&form, &log, "second");
        EXPECT_EQ(form.ComponentCount(), 2);
        EXPECT_EQ(form.Components(1)->Name(), "second");
        EXPECT_EQ(form.Components(0)->Owner(), &form);
    }
    EXPECT_THAT(log, ElementsAre("destroy form", "destroy second", "destroy first"));
}

TEST(Component, DeletingAnOwnedComponentDetachesItFromItsOwner) {
    std::vector<std::string> log;
    {
        TWidget form(nullptr, &log, "form");
        auto* child = new TWidget(&form, &log, "child");
        new TWidget(&form, &log, "other");
        delete child;
        ASSERT_EQ(form.ComponentCount(), 1);
        EXPECT_EQ(form.Components(0)->Name(), "other");
    }
    // Destroyed once each: a second delete of the child would show here (and under ASan).
    EXPECT_THAT(log, ElementsAre("destroy child", "destroy form", "destroy other"));
}

TEST(StoredDescription, ListsOnlyValuesThatDifferFromTheirDeclaredDefaults) {
    TWidget w(nullptr);
    // Enabled has no declared default, so it is always written; empty text never is.
    EXPECT_THAT(w.StoredDescription(), ElementsAre(Pair("Enabled", "False")));

    w.Count = -5;
    w.Caption = "Till";
    w.Colour = clBlue;
    w.Mix = {clRed, clBlue};
    w.Inner.Size = 12;
    EXPECT_THAT(w.StoredDescription(),
                ElementsAre(Pair("Count", "-5"), Pair("Enabled", "False"), Pair("Caption", "Till"),
                            Pair("Colour", "clBlue"), Pair("Mix", "[clRed,clBlue]"),
                            Pair("Inner.Size", "12")));
}

TEST(StoredDescription, LoadingAppliesEveryValueInsideOneLoadingPhase) {
    std::vector<std::string> log;
    TWidget source(nullptr);
    source.Count = 7;
    source.Enabled = true;
    source.Caption = "x y";
    source.Colour = clGreen;
    source.Mix = TColours::All();
    source.Inner.Size = 3;

    TWidget copy(nullptr, &log);
    copy.LoadStoredDescription(source.StoredDescription());
    EXPECT_EQ(copy.Count, 7);
    EXPECT_TRUE(copy.Enabled);
    EXPECT_EQ(copy.Caption, "x y");
    EXPECT_EQ(copy.Colour, clGreen);
    EXPECT_EQ(copy.Mix, TColours::All());
    EXPECT_EQ(copy.Inner.Size, 3);
    EXPECT_THAT(log, ElementsAre("set while loading", "finished"));
    EXPECT_FALSE(copy.Loading());
}

TEST(StoredDescription, ABadDescriptionFailsAndEndsTheLoadingPhase) {
    struct Case {
        TStoredDescription Description;
        const char* Message;
    };
    const Case cases[] = {
        {{{"Width", "3"}}, "Property Width does not exist"},
        {{{"Count", "3x"}}, "Invalid value \"3x\" for property Count"},
        {{{"Enabled", "yes"}}, "Invalid value \"yes\" for property Enabled"},
        {{{"Colour", "clPink"}}, "Invalid value \"clPink\" for property Colour"},
        {{{"Mix", "[clRed,]"}}, "Invalid value \"[clRed,]\" for property Mix"},
        {{{"Mix", "clRed"}}, "Invalid value \"clRed\" for property Mix"},
        {{{"Inner.Size", ""}}, "Invalid value \"\" for property Inner.Size"},
        {{{"Count", "1"}, {"Count", "2"}}, "Property Count is given twice"},
    };
    for (const auto& c : cases) {
        TWidget w(nullptr);
        try {
            w.LoadStoredDescription(c.Description);
            ADD_FAILURE() << "accepted: " << c.Message;
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
        EXPECT_FALSE(w.Loading()) << c.Message;
    }
}

TEST(Set, KeepsOnlyItsOwnMembers) {
    EXPECT_EQ(TColours::FromBits(0xFF).Bits(), 0x7u);
    TColours s{clGreen};
    s.Include(clBlue);
    s.Exclude(clGreen);
    EXPECT_EQ(s, TColours{clBlue});
    EXPECT_TRUE((TColours::All() - s).Contains(clRed));
    EXPECT_TRUE(TColours{}.Empty());
}

} // namespace
