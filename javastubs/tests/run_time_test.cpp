// The run-time class collection built from the fixture libraries: the descriptor table, the
// entries of each interface, the classes and their interfaces, member lookup with its
// signatures, and invocation on a small automation object with every kind of call.
#include <random>

#include "automation_object.h"
#include "javastubs/jvm_descriptor.h"
#include "javastubs/run_time_collection.h"
#include "javastubs/server_lock.h"
#include "platform/ole/testing/big_type_library.h"
#include "test_support.h"

namespace quarb::test {
namespace {

ComPtr<RunTimeCollection> Build(const std::string& fixture) {
  ComPtr<ITypeLib> lib = Load(fixture);
  return ComPtr<RunTimeCollection>::Attach(BuildRunTimeCollection(lib.Get()));
}

RunTimeInterface* Interface(const ComPtr<RunTimeCollection>& c, const std::string& name) {
  RunTimeInterface* found = c->FindInterface(name);
  EXPECT_NE(found, nullptr) << name;
  return found;
}

std::vector<std::string> AccessorNames(const RunTimeInterface& i) {
  std::vector<std::string> names;
  for (const AccessorEntry& e : i.Accessors()) names.push_back(e.name);
  return names;
}

std::vector<std::string> MethodNames(const RunTimeInterface& i) {
  std::vector<std::string> names;
  for (const MethodEntry& e : i.Methods()) names.push_back(e.name);
  return names;
}

struct Lookup {
  HRESULT hr = E_UNEXPECTED;
  DWORD id = 0xDEADBEEF;
  std::vector<WORD> signature;
};

Lookup Find(IRunTimeInterface* i, const std::string& name, UINT room = 16) {
  Lookup r;
  std::vector<WORD> buffer(room + 1, 0xEEEE);  // one more as a guard against overruns
  UINT length = room;
  std::u16string wide = halyard::ole::AnsiToWide(name);
  r.hr = i->FindMember(wide.c_str(), &r.id, buffer.data(), &length);
  EXPECT_EQ(buffer[room], 0xEEEE) << "written past the signature's room";
  if (SUCCEEDED(r.hr)) r.signature.assign(buffer.begin(), buffer.begin() + length);
  return r;
}

TEST(JvmDescriptor, EveryTypeCodeOfTheTableHasItsDescriptor) {
  for (TypeCode code : {2, 3, 6, 22, 23, 0x1001, 0x1002, 0x1003, 0x1004})
    EXPECT_EQ(JvmDescriptor(code), "I") << code;
  EXPECT_EQ(JvmDescriptor(4), "F");
  EXPECT_EQ(JvmDescriptor(5), "D");
  EXPECT_EQ(JvmDescriptor(7), "D");
  EXPECT_EQ(JvmDescriptor(8), "Ljava/lang/String;");
  EXPECT_EQ(JvmDescriptor(9), "Ljava/lang/Object;");
  EXPECT_EQ(JvmDescriptor(13), "Ljava/lang/Object;");
  EXPECT_EQ(JvmDescriptor(11), "Z");
  EXPECT_EQ(JvmDescriptor(24), "V");
  for (TypeCode code : {10, 12, 26}) EXPECT_EQ(JvmDescriptor(code), "") << code;
  EXPECT_EQ(JvmInterfaceDescriptor("IPeer"), "LIPeer;");
}

TEST(JvmDescriptor, ByReferenceTypesAreArraysOfTheirBaseAndUnknownCodesAreEmpty) {
  EXPECT_EQ(JvmDescriptor(0x4003), "[I");
  EXPECT_EQ(JvmDescriptor(0x4008), "[Ljava/lang/String;");
  EXPECT_EQ(JvmDescriptor(0x400B), "[Z");
  EXPECT_EQ(JvmDescriptor(0x400C), "[");
  for (TypeCode code : {0, 1, 14, 20, 25, 29, 0x1005, 0xFFF}) EXPECT_EQ(JvmDescriptor(code), "");
}

TEST(RunTimeCollection, InterfacesStandInLibraryOrderWithTheirAccessorsAndMethods) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  std::vector<std::string> names;
  for (const auto& i : c->Interfaces()) names.push_back(i->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"IPeer", "IGadget", "ICaption", "IPlain", "IEvents"}));

  RunTimeInterface* caption = Interface(c, "ICaption");
  EXPECT_EQ(AccessorNames(*caption), (std::vector<std::string>{"getCaption()Ljava/lang/String;",
                                                               "setCaption(Ljava/lang/String;)V"}));
  EXPECT_EQ(MethodNames(*caption), (std::vector<std::string>{"Refresh()V"}));

  // Put-by-reference-only properties have no entry; enumerations and colours are ints, fonts
  // and pictures objects, a dispatch interface its own class.
  RunTimeInterface* gadget = Interface(c, "IGadget");
  EXPECT_EQ(AccessorNames(*gadget),
            (std::vector<std::string>{
                "getCount()I", "setLimit(I)V", "getForeColor()I", "setForeColor(I)V",
                "getFont()Ljava/lang/Object;", "getPicture()Ljava/lang/Object;", "getPeer()LIPeer;",
                "getStyle()I", "setStyle(I)V", "getEnabled()Z", "setEnabled(Z)V"}));
  EXPECT_EQ(MethodNames(*gadget),
            (std::vector<std::string>{"Move(I[I[Z)V", "Measure(DFID)Z", "Blend()",
                                      "Tweak(Ljava/lang/Object;)Ljava/lang/Object;", "Wipe(I)V",
                                      "Spread(IIIIIIIIIIILjava/lang/String;)V",
                                      "Describe()Ljava/lang/String;"}));
  const AccessorEntry& peer = gadget->Accessors()[6];
  EXPECT_EQ(peer.memid, 14);
  EXPECT_EQ(peer.type, VT_DISPATCH);
  EXPECT_EQ(peer.typeFlags, 0x54u);
  // Every parameter is kept, however many.
  EXPECT_EQ(gadget->Methods()[5].paramCount, 12u);

  RunTimeInterface* dispPeer = Interface(c, "IPeer");
  EXPECT_EQ(AccessorNames(*dispPeer),
            (std::vector<std::string>{
                "getLabel()Ljava/lang/String;", "setLabel(Ljava/lang/String;)V",
                "getName()Ljava/lang/String;", "setName(Ljava/lang/String;)V", "getId()I",
                "getBound()I", "setBound(I)V", "getWeight()D", "setWeight(D)V"}));
  EXPECT_EQ(MethodNames(*dispPeer),
            (std::vector<std::string>{"Ping(I)V", "Compare(Ljava/lang/Object;)Z"}));
  EXPECT_TRUE(Interface(c, "IEvents")->Accessors().empty());
  EXPECT_TRUE(Interface(c, "IEvents")->Methods().empty());
}

TEST(RunTimeCollection, EachClassStandsOnceWithTheDescribedInterfacesItImplements) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  LONG count = -1;
  ASSERT_EQ(c->GetCount(&count), S_OK);
  // Nothing implements no interface, so it is not listed.
  ASSERT_EQ(count, 1);
  BSTR name = nullptr;
  ASSERT_EQ(c->GetClassName(0, &name), S_OK);
  EXPECT_EQ(TakeAnsi(name), "Gadget");
  IRunTimeClass* cls = nullptr;
  ASSERT_EQ(c->GetClass(0, &cls), S_OK);
  ComPtr<IRunTimeClass> held = ComPtr<IRunTimeClass>::Attach(cls);
  std::vector<std::string> names;
  for (const auto& i : static_cast<RunTimeClass*>(cls)->Interfaces()) names.push_back(i->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"IGadget", "ICaption", "IEvents"}));
  ASSERT_EQ(cls->GetName(&name), S_OK);
  EXPECT_EQ(TakeAnsi(name), "Gadget");
}

TEST(RunTimeCollection, BadIndexesGiveInvalidArgumentAndNullOutValues) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  for (LONG index : {1, -1, 0x7FFFFFFF}) {
    BSTR name = reinterpret_cast<BSTR>(&index);
    EXPECT_EQ(c->GetClassName(index, &name), E_INVALIDARG);
    EXPECT_EQ(name, nullptr);
    IRunTimeClass* cls = reinterpret_cast<IRunTimeClass*>(&index);
    EXPECT_EQ(c->GetClass(index, &cls), E_INVALIDARG);
    EXPECT_EQ(cls, nullptr);
  }
  EXPECT_EQ(c->GetCount(nullptr), E_POINTER);
  EXPECT_EQ(c->GetClassName(0, nullptr), E_POINTER);
  EXPECT_EQ(c->GetClass(0, nullptr), E_POINTER);
}

TEST(RunTimeCollection, LibrariesWithoutClassesOrTypesGiveEmptyCollections) {
  for (const char* fixture : {"empty.tlb", "oddities.tlb"}) {
    ComPtr<RunTimeCollection> c = Build(fixture);
    LONG count = -1;
    EXPECT_EQ(c->GetCount(&count), S_OK);
    EXPECT_EQ(count, 0) << fixture;
  }
  EXPECT_TRUE(Build("empty.tlb")->Interfaces().empty());
}

TEST(RunTimeCollection, ClassesKeepEveryMatchingInterfaceBeyondFive) {
  const std::vector<BYTE> bytes = halyard::ole::testing::BuildBigLibrary(20);
  ITypeLib* raw = nullptr;
  ASSERT_EQ(halyard::ole::LoadTypeLibFromMemory(bytes.data(), bytes.size(), "", &raw), S_OK);
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  ComPtr<RunTimeCollection> c =
      ComPtr<RunTimeCollection>::Attach(BuildRunTimeCollection(lib.Get()));
  EXPECT_EQ(c->Interfaces().size(), 20u);
  ASSERT_EQ(c->Classes().size(), 2u);
  for (const auto& cls : c->Classes()) EXPECT_EQ(cls->Interfaces().size(), 10u);
  EXPECT_EQ(c->Interfaces()[0]->Accessors().size(), 35u);  // 15 read-write, 5 read-only
  EXPECT_EQ(c->Interfaces()[0]->Methods().size(), 15u);
}

TEST(RunTimeCollection, DamagedLibrariesThatStillLoadGiveCollectionsWithoutTheUnreadableParts) {
  // Bytes of the fixture overwritten at random: whatever still loads builds a collection whose
  // every name can be looked up, and never a crash or an overrun (the sanitizers watch).
  const std::vector<BYTE> good = ReadFile(DataPath("gadgets.tlb"));
  ASSERT_FALSE(good.empty());
  std::mt19937 rng(20);
  int loaded = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<BYTE> bytes = good;
    const int damage = 1 + int(rng() % 8);
    for (int i = 0; i < damage; ++i) bytes[rng() % bytes.size()] = BYTE(rng());
    ITypeLib* raw = nullptr;
    if (FAILED(halyard::ole::LoadTypeLibFromMemory(bytes.data(), bytes.size(), DataPath(""), &raw)))
      continue;
    ++loaded;
    ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
    ComPtr<RunTimeCollection> c =
        ComPtr<RunTimeCollection>::Attach(BuildRunTimeCollection(lib.Get()));
    EXPECT_LE(c->Interfaces().size() + c->Classes().size(), lib->GetTypeInfoCount());
    // A name with a NUL in it cannot be asked for through a wide C string.
    auto reachable = [](const std::string& name) { return name.find('\0') == std::string::npos; };
    for (const auto& iface : c->Interfaces()) {
      for (const AccessorEntry& e : iface->Accessors())
        if (reachable(e.name)) {
          EXPECT_EQ(Find(iface.Get(), e.name).hr, S_OK);
        }
      for (const MethodEntry& e : iface->Methods())
        if (reachable(e.name)) {
          EXPECT_EQ(Find(iface.Get(), e.name).hr, S_OK);
        }
    }
  }
  EXPECT_GT(loaded, 0);
}

TEST(RunTimeClass, InterfacesAreFoundByNameOrStarAndOthersAreLeftUntouched) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  RunTimeClass* cls = c->Classes()[0].Get();
  IRunTimeInterface* found = nullptr;
  ASSERT_EQ(cls->GetInterface(u"*", &found), S_OK);
  EXPECT_EQ(static_cast<RunTimeInterface*>(found)->Name(), "IGadget");
  found->Release();
  ASSERT_EQ(cls->GetInterface(u"ICaption", &found), S_OK);
  EXPECT_EQ(static_cast<RunTimeInterface*>(found)->Name(), "ICaption");
  found->Release();
  IRunTimeInterface* untouched = reinterpret_cast<IRunTimeInterface*>(&found);
  for (const char16_t* name : {u"IPeer", u"icaption", u"", u"ICaption\u20AC", u"IPlain"}) {
    found = untouched;
    EXPECT_EQ(cls->GetInterface(name, &found), S_FALSE);
    EXPECT_EQ(found, untouched);
  }
  EXPECT_EQ(cls->GetInterface(nullptr, &found), E_POINTER);
  EXPECT_EQ(cls->GetInterface(u"*", nullptr), E_POINTER);
}

TEST(RunTimeObjects, AnswerTheirInterfaceAndDispatchIdentifiersAndHoldTheServer) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  EXPECT_TRUE(ServerInUse());
  struct Identity {
    IUnknown* object;
    const IID& custom;
    const IID& dispatch;
  };
  for (const Identity& id : {Identity{static_cast<IRunTimeClassCollection*>(c.Get()),
                                      IID_IRunTimeClassCollection, DIID_RunTimeClassCollection},
                             Identity{static_cast<IRunTimeClass*>(c->Classes()[0].Get()),
                                      IID_IRunTimeClass, DIID_RunTimeClass},
                             Identity{static_cast<IRunTimeInterface*>(c->Interfaces()[0].Get()),
                                      IID_IRunTimeInterface, DIID_RunTimeInterface}}) {
    void* custom = nullptr;
    void* unknown = nullptr;
    void* dispatch = nullptr;
    void* byDispId = nullptr;
    ASSERT_EQ(id.object->QueryInterface(id.custom, &custom), S_OK);
    ASSERT_EQ(id.object->QueryInterface(IID_IUnknown, &unknown), S_OK);
    ASSERT_EQ(id.object->QueryInterface(IID_IDispatch, &dispatch), S_OK);
    ASSERT_EQ(id.object->QueryInterface(id.dispatch, &byDispId), S_OK);
    EXPECT_EQ(custom, unknown);
    EXPECT_EQ(dispatch, byDispId);
    EXPECT_NE(custom, dispatch);
    void* other = &other;
    EXPECT_EQ(id.object->QueryInterface(IID_IStream, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    for (void* p : {custom, unknown}) static_cast<IUnknown*>(p)->Release();
    for (void* p : {dispatch, byDispId}) static_cast<IDispatch*>(p)->Release();
  }
}

TEST(RunTimeObjects, ClassesAndInterfacesOutliveTheCollectionWhileReferenced) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  IRunTimeClass* cls = nullptr;
  ASSERT_EQ(c->GetClass(0, &cls), S_OK);
  c.Reset();
  IRunTimeInterface* caption = nullptr;
  ASSERT_EQ(cls->GetInterface(u"ICaption", &caption), S_OK);
  cls->Release();
  Lookup r = Find(caption, "getCaption()Ljava/lang/String;");
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_TRUE(ServerInUse());
  caption->Release();
  EXPECT_FALSE(ServerInUse());
}

TEST(FindMember, AccessorsGiveTheirPositionAndOneOrTwoCodes) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  RunTimeInterface* caption = Interface(c, "ICaption");
  Lookup get = Find(caption, "getCaption()Ljava/lang/String;");
  EXPECT_EQ(get.hr, S_OK);
  EXPECT_EQ(get.id, 0u);
  EXPECT_EQ(get.signature, (std::vector<WORD>{VT_BSTR}));
  Lookup set = Find(caption, "setCaption(Ljava/lang/String;)V");
  EXPECT_EQ(set.hr, S_OK);
  EXPECT_EQ(set.id, 1u);
  EXPECT_EQ(set.signature, (std::vector<WORD>{VT_VOID, VT_BSTR}));

  RunTimeInterface* gadget = Interface(c, "IGadget");
  EXPECT_EQ(Find(gadget, "getPeer()LIPeer;").signature, (std::vector<WORD>{VT_DISPATCH}));
  EXPECT_EQ(Find(gadget, "setStyle(I)V").signature, (std::vector<WORD>{VT_VOID, VT_I4}));
  EXPECT_EQ(Find(gadget, "getForeColor()I").signature, (std::vector<WORD>{VT_I4}));
  // Too little room for the signature gives none, never an overrun.
  Lookup cramped = Find(caption, "setCaption(Ljava/lang/String;)V", 1);
  EXPECT_EQ(cramped.hr, S_OK);
  EXPECT_EQ(cramped.id, 1u);
  EXPECT_TRUE(cramped.signature.empty());
}

TEST(FindMember, MethodsGiveTheirPositionAboveTheMethodBaseAndTheirSignatureWhenItFits) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  RunTimeInterface* gadget = Interface(c, "IGadget");
  Lookup move = Find(gadget, "Move(I[I[Z)V");
  EXPECT_EQ(move.hr, S_OK);
  EXPECT_EQ(move.id, 0xF0000000u);
  EXPECT_EQ(move.signature, (std::vector<WORD>{VT_VOID, VT_I4, 0x4003, 0x400B}));
  EXPECT_EQ(Find(gadget, "Describe()Ljava/lang/String;").id, 0xF0000006u);
  // The length must exceed the parameter count plus one.
  EXPECT_TRUE(Find(gadget, "Move(I[I[Z)V", 4).signature.empty());
  EXPECT_EQ(Find(gadget, "Move(I[I[Z)V", 5).signature.size(), 4u);
  EXPECT_EQ(Find(gadget, "Spread(IIIIIIIIIIILjava/lang/String;)V", 14).signature.size(), 13u);
  EXPECT_EQ(Find(Interface(c, "ICaption"), "Refresh()V").signature, (std::vector<WORD>{VT_VOID}));
}

TEST(FindMember, UnknownNamesFailAndMissingArgumentsAreRefused) {
  ComPtr<RunTimeCollection> c = Build("gadgets.tlb");
  RunTimeInterface* caption = Interface(c, "ICaption");
  for (const char* name : {"", "getCaption", "getcaption()Ljava/lang/String;", "Refresh()",
                           "Refresh()V ", "setCaption(Ljava/lang/String;)"})
    EXPECT_EQ(Find(caption, name).hr, E_FAIL) << name;
  DWORD id = 0;
  WORD sig[4];
  UINT length = 4;
  EXPECT_EQ(caption->FindMember(nullptr, &id, sig, &length), E_POINTER);
  EXPECT_EQ(caption->FindMember(u"Refresh()V", nullptr, sig, &length), E_POINTER);
  EXPECT_EQ(caption->FindMember(u"Refresh()V", &id, sig, nullptr), E_POINTER);
  EXPECT_EQ(caption->FindMember(u"Refresh()V", &id, nullptr, &length), S_OK);
  EXPECT_EQ(length, 0u);
}

class InvokeMemberTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = Build("gadgets.tlb");
    gadget_ = Interface(c_, "IGadget");
    peer_ = Interface(c_, "IPeer");
    VariantInit(&result_);
  }
  void TearDown() override { VariantClear(&result_); }

  DWORD Id(RunTimeInterface* i, const std::string& name) { return Find(i, name).id; }
  HRESULT Invoke(RunTimeInterface* i, const std::string& name, std::vector<VARIANT> params = {}) {
    return i->InvokeMember(&object_, Id(i, name), &result_, 0, UINT(params.size()), params.data());
  }

  ComPtr<RunTimeCollection> c_;
  RunTimeInterface* gadget_ = nullptr;
  RunTimeInterface* peer_ = nullptr;
  AutomationObject object_;
  VARIANT result_;
};

TEST_F(InvokeMemberTest, APutSendsTheValueAsTheNamedPropertyPutArgument) {
  ASSERT_EQ(Invoke(peer_, "setName(Ljava/lang/String;)V", {MakeText("Caf\xE9")}), S_OK);
  ASSERT_EQ(object_.calls.size(), 1u);
  const RecordedCall& call = object_.calls[0];
  EXPECT_EQ(call.memid, 1);
  EXPECT_EQ(call.flags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(call.named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
  ASSERT_EQ(call.args.size(), 1u);
  ASSERT_EQ(call.args[0].vt, VT_BSTR);
  EXPECT_EQ(std::u16string(call.args[0].bstrVal), u"Caf\u00E9");

  // A get hands the value back as the property's type.
  ASSERT_EQ(Invoke(peer_, "getName()Ljava/lang/String;"), S_OK);
  EXPECT_EQ(object_.calls[1].flags, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(object_.calls[1].args.empty());
  EXPECT_EQ(TextOf(result_), "Caf\xE9");
}

TEST_F(InvokeMemberTest, ValuesAreConvertedToThePropertysTypeBothWays) {
  ASSERT_EQ(Invoke(peer_, "setWeight(D)V", {MakeI4(3)}), S_OK);
  EXPECT_EQ(object_.calls[0].args[0].vt, VT_R8);
  EXPECT_EQ(object_.calls[0].args[0].dblVal, 3.0);
  ASSERT_EQ(Invoke(gadget_, "setEnabled(Z)V", {MakeI4(5)}), S_OK);
  EXPECT_EQ(object_.calls[1].args[0].vt, VT_BOOL);
  EXPECT_EQ(object_.calls[1].args[0].boolVal, VARIANT_TRUE);
  // The object answers with another type than the property's: the caller gets the property's.
  VARIANT small;
  VariantInit(&small);
  small.vt = VT_I2;
  small.iVal = 42;
  object_.SetProp(10, small);
  ASSERT_EQ(Invoke(gadget_, "getCount()I"), S_OK);
  EXPECT_EQ(result_.vt, VT_I4);
  EXPECT_EQ(result_.lVal, 42);
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = halyard::ole::BstrFromAnsi("x");  // a text no number can be made of
  object_.SetProp(10, text);
  VariantClear(&text);
  EXPECT_EQ(Invoke(gadget_, "getCount()I"), DISP_E_TYPEMISMATCH);
}

TEST_F(InvokeMemberTest, ObjectPropertiesArePutByReference) {
  RunTimeInterface* scratch = RunTimeInterface::Create("IScratch");
  PropertyInfo owner;
  owner.name = "Owner";
  owner.memid = 7;
  owner.flags = kPropReadable | kPropWritable;
  owner.type = VT_DISPATCH;
  scratch->AddAccessors(owner, {});
  AutomationObject other;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_DISPATCH;
  value.pdispVal = &other;
  ASSERT_EQ(Invoke(scratch, "setOwner(Ljava/lang/Object;)V", {value}), S_OK);
  EXPECT_EQ(object_.calls[0].flags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(object_.calls[0].args[0].pdispVal, &other);
  ASSERT_EQ(Invoke(scratch, "getOwner()Ljava/lang/Object;"), S_OK);
  EXPECT_EQ(result_.vt, VT_DISPATCH);
  EXPECT_EQ(result_.pdispVal, &other);
  VariantClear(&result_);
  scratch->Release();
  for (RecordedCall& call : object_.calls)
    for (VARIANT& v : call.args) VariantClear(&v);
  object_.calls.clear();
  VariantClear(&object_.props[7]);
  EXPECT_EQ(other.refs, 1u);  // every reference taken on the way was given back
}

TEST_F(InvokeMemberTest, MethodArgumentsAreConvertedAndPassedLastFirst) {
  LONG y = 10;
  VARIANT_BOOL moved = 0;
  VARIANT byY, byMoved;
  VariantInit(&byY);
  VariantInit(&byMoved);
  byY.vt = VT_BYREF | VT_I4;
  byY.plVal = &y;
  byMoved.vt = VT_BYREF | VT_BOOL;
  byMoved.pboolVal = &moved;
  ASSERT_EQ(Invoke(gadget_, "Move(I[I[Z)V", {MakeText("7"), byY, byMoved}), S_OK);
  const RecordedCall& call = object_.calls[0];
  EXPECT_EQ(call.memid, 20);
  EXPECT_EQ(call.flags, DISPATCH_METHOD);
  EXPECT_TRUE(call.named.empty());
  EXPECT_FALSE(call.resultAsked);  // a void method is not asked for a result
  ASSERT_EQ(call.args.size(), 3u);
  EXPECT_EQ(call.args[0].pboolVal, &moved);
  EXPECT_EQ(call.args[1].plVal, &y);
  EXPECT_EQ(call.args[2].vt, VT_I4);
  EXPECT_EQ(call.args[2].lVal, 7);
  EXPECT_EQ(y, 11);  // written through the caller's own storage
  EXPECT_EQ(result_.vt, VT_EMPTY);

  VARIANT fits;
  VariantInit(&fits);
  fits.vt = VT_I4;
  fits.lVal = 1;
  VariantCopy(&object_.methodResult, &fits);
  VARIANT a, b, d;
  VariantInit(&a);
  a.vt = VT_R8;
  a.dblVal = 1.5;
  VariantInit(&b);
  b.vt = VT_R8;
  b.dblVal = 2.25;
  VariantInit(&d);
  d.vt = VT_R8;
  d.dblVal = 45000.5;
  ASSERT_EQ(Invoke(gadget_, "Measure(DFID)Z", {a, b, MakeI4(-3), d, MakeI4(9)}), S_OK);
  const RecordedCall& measure = object_.calls[1];
  ASSERT_EQ(measure.args.size(), 5u);
  EXPECT_TRUE(measure.resultAsked);
  EXPECT_EQ(measure.args[4].vt, VT_R8);
  EXPECT_EQ(measure.args[3].vt, VT_R4);
  EXPECT_EQ(measure.args[3].fltVal, 2.25f);
  EXPECT_EQ(measure.args[2].vt, VT_I2);
  EXPECT_EQ(measure.args[2].iVal, -3);
  EXPECT_EQ(measure.args[1].vt, VT_DATE);
  EXPECT_EQ(result_.vt, VT_BOOL);
  EXPECT_EQ(result_.boolVal, VARIANT_TRUE);
}

TEST_F(InvokeMemberTest, TextsGoAsNewWideStringsAndVariantsAsTheyAre) {
  object_.methodResult.vt = VT_BSTR;
  object_.methodResult.bstrVal = halyard::ole::BstrFromAnsi("a gadget");
  ASSERT_EQ(Invoke(gadget_, "Describe()Ljava/lang/String;"), S_OK);
  EXPECT_EQ(TextOf(result_), "a gadget");
  std::vector<VARIANT> many;
  for (int i = 1; i <= 11; ++i) many.push_back(MakeI4(i));
  many.push_back(MakeText("last"));
  ASSERT_EQ(Invoke(gadget_, "Spread(IIIIIIIIIIILjava/lang/String;)V", many), S_OK);
  const RecordedCall& spread = object_.calls[1];
  ASSERT_EQ(spread.args.size(), 12u);
  EXPECT_EQ(TextOf(spread.args[0]), "last");
  EXPECT_EQ(spread.args[11].lVal, 1);
  EXPECT_EQ(spread.args[1].lVal, 11);
  // A variant parameter takes the value as it comes.
  VARIANT anything;
  VariantInit(&anything);
  anything.vt = VT_R4;
  anything.fltVal = 0.5f;
  VARIANT code;
  VariantInit(&code);
  code.vt = VT_ERROR;
  code.scode = E_FAIL;
  ASSERT_EQ(Invoke(gadget_, "Blend()", {anything, code}), S_OK);
  EXPECT_EQ(object_.calls[2].args[1].vt, VT_R4);
  EXPECT_EQ(object_.calls[2].args[0].vt, VT_ERROR);
}

TEST_F(InvokeMemberTest, AnExceptionOfTheObjectComesBackAsItsDescription) {
  object_.raise = "the gadget is jammed";
  EXPECT_EQ(Invoke(gadget_, "Describe()Ljava/lang/String;"), DISP_E_EXCEPTION);
  EXPECT_EQ(TextOf(result_), "the gadget is jammed");
  EXPECT_EQ(Invoke(peer_, "setName(Ljava/lang/String;)V", {MakeText("x")}), DISP_E_EXCEPTION);
  object_.raise.clear();
  object_.fail = E_ACCESSDENIED;
  EXPECT_EQ(Invoke(gadget_, "getCount()I"), E_ACCESSDENIED);
  EXPECT_EQ(Invoke(peer_, "Ping(I)V", {MakeI4(1)}), E_ACCESSDENIED);
}

TEST_F(InvokeMemberTest, BadIdentifiersArgumentsAndTypesFailWithoutCallingTheObject) {
  EXPECT_EQ(gadget_->InvokeMember(&object_, 11, &result_, 0, 0, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(gadget_->InvokeMember(&object_, 0x10000000, &result_, 0, 0, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(gadget_->InvokeMember(&object_, 0xF0000007, &result_, 0, 0, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(gadget_->InvokeMember(&object_, 0xFFFFFFFF, &result_, 0, 0, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(gadget_->InvokeMember(nullptr, 0, &result_, 0, 0, nullptr), E_POINTER);
  EXPECT_EQ(gadget_->InvokeMember(&object_, 0xF0000000, &result_, 0, 3, nullptr), E_POINTER);
  EXPECT_EQ(Invoke(gadget_, "Move(I[I[Z)V", {MakeI4(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(gadget_, "setLimit(I)V"), DISP_E_BADPARAMCOUNT);
  // A by-reference parameter needs storage of its own type.
  EXPECT_EQ(Invoke(gadget_, "Move(I[I[Z)V", {MakeI4(1), MakeI4(2), MakeI4(3)}),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Invoke(gadget_, "setLimit(I)V", {MakeText("many")}), DISP_E_TYPEMISMATCH);
  // Texts converted before the failing parameter are freed (the leak checker watches).
  EXPECT_EQ(Invoke(peer_, "Compare(Ljava/lang/Object;)Z", {MakeText("no object")}),
            DISP_E_TYPEMISMATCH);
  EXPECT_TRUE(object_.calls.empty());
}

}  // namespace
}  // namespace quarb::test
