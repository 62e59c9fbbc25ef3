#include "data/IExpression.h"
#include "data/ISearchRegion.h"
#include "data/Ref.h"
#include "data/RefCounted.h"
#include "data/SearchSpec.h"

#include <gtest/gtest.h>

using namespace fennick;

namespace {

// A counted object that reports its destruction.
class CProbe : public CUnknownImpl<IExpression> {
public:
    explicit CProbe(bool* destroyed) : m_destroyed(destroyed) {}
    ~CProbe() override { *m_destroyed = true; }
    int ReservedA(int, int) override { return 0; }
    int Evaluate(IShapeAttr*, int* result) override {
        *result = 1;
        return 1;
    }
    void ReservedB(int) override {}

private:
    bool* m_destroyed;
};

} // namespace

TEST(RefCounting, NewObjectStartsAtZeroAndFactoryAddsTheFirstReference) {
    bool destroyed = false;
    {
        CRef<CProbe> a = MakeRef<CProbe>(&destroyed);
        EXPECT_EQ(a->AddRef(), 2);
        EXPECT_EQ(a->Release(), 1);
        CRef<CProbe> b = a; // copy adds a reference
        EXPECT_EQ(b->AddRef(), 3);
        b->Release();
        CRef<CProbe> c = std::move(b); // move does not
        EXPECT_FALSE(b);
        EXPECT_EQ(c->AddRef(), 3);
        c->Release();
    }
    EXPECT_TRUE(destroyed);
}

TEST(RefCounting, QueryInterfaceAnswersAbortAndLeavesTheOutPointer) {
    bool destroyed = false;
    CRef<CProbe> p = MakeRef<CProbe>(&destroyed);
    void* out = &destroyed;
    EXPECT_EQ(p->QueryInterface(SGuid{}, &out), E_ABORT);
    EXPECT_EQ(out, &destroyed);
}

TEST(RefCounting, PutReleasesWhatWasHeldAndAdoptTakesAnExistingReference) {
    bool first = false;
    bool second = false;
    CRef<IExpression> holder = MakeRef<CProbe>(&first);
    IExpression** slot = holder.Put();
    EXPECT_TRUE(first);
    CProbe* raw = new CProbe(&second);
    raw->AddRef();
    *slot = raw; // as an out-parameter would fill it
    EXPECT_EQ(holder.Get(), raw);
    IExpression* detached = holder.Detach();
    CRef<IExpression> adopted = CRef<IExpression>::Adopt(detached);
    adopted.Reset();
    EXPECT_TRUE(second);
}

TEST(RefCounting, SearchSpecHoldsAndReleasesItsExpression) {
    bool destroyed = false;
    CRef<CProbe> probe = MakeRef<CProbe>(&destroyed);
    {
        CSearchSpec spec(nullptr, 1, probe.Get());
        EXPECT_EQ(spec.m_containMode, 1);
        EXPECT_TRUE(spec.m_text.empty());
        EXPECT_FALSE(spec.m_region);
        EXPECT_EQ(probe->AddRef(), 3);
        probe->Release();
    }
    EXPECT_EQ(probe->AddRef(), 2);
    probe->Release();
    probe.Reset();
    EXPECT_TRUE(destroyed);
}
