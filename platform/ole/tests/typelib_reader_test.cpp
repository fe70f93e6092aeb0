// The type library reader against the committed fixtures (compiled from the IDL beside
// them by an independent IDL compiler), and against damaged copies of them.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/ole/bstr.h"
#include "platform/ole/testing/typelib_fixtures.h"

namespace halyard::ole::testing {
namespace {

struct Attr {
  explicit Attr(ITypeInfo* info) : info(info) { EXPECT_EQ(info->GetTypeAttr(&attr), S_OK); }
  ~Attr() {
    if (attr) info->ReleaseTypeAttr(attr);
  }
  TYPEATTR* operator->() const { return attr; }
  ITypeInfo* info;
  TYPEATTR* attr = nullptr;
};

struct Func {
  Func(ITypeInfo* info, UINT index) : info(info) { EXPECT_EQ(info->GetFuncDesc(index, &f), S_OK); }
  ~Func() {
    if (f) info->ReleaseFuncDesc(f);
  }
  FUNCDESC* operator->() const { return f; }
  ITypeInfo* info;
  FUNCDESC* f = nullptr;
};

struct Var {
  Var(ITypeInfo* info, UINT index) : info(info) { EXPECT_EQ(info->GetVarDesc(index, &v), S_OK); }
  ~Var() {
    if (v) info->ReleaseVarDesc(v);
  }
  VARDESC* operator->() const { return v; }
  ITypeInfo* info;
  VARDESC* v = nullptr;
};

std::string MemberName(ITypeInfo* info, MEMBERID memid) {
  BSTR name = nullptr;
  EXPECT_EQ(info->GetDocumentation(memid, &name, nullptr, nullptr, nullptr), S_OK);
  return TakeAnsi(name);
}

ComPtr<ITypeInfo> Ref(ITypeInfo* info, HREFTYPE href) {
  ComPtr<ITypeInfo> ref;
  EXPECT_EQ(info->GetRefTypeInfo(href, ref.Put()), S_OK);
  return ref;
}

TEST(TypeLibReader, LibraryAttributesAndDocumentation) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  // The IDL compiler stores the library's GUID with its last byte as 0x0D; the reader
  // reports what the file holds.
  EXPECT_EQ(halyard::ole::GuidToString(attr->guid), "{5A0B1000-7C1E-4D2A-9F31-0C6E2B7D4A0D}");
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 2);
  EXPECT_EQ(attr->syskind, SYS_WIN32);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr, doc = nullptr, file = nullptr;
  DWORD context = 99;
  ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, &context, &file), S_OK);
  EXPECT_EQ(TakeAnsi(name), "Gadgets");
  EXPECT_EQ(TakeAnsi(doc), "Quarb test gadgets");
  EXPECT_EQ(context, 0u);
  EXPECT_EQ(file, nullptr);
}

TEST(TypeLibReader, TypesInLibraryOrderWithKindsCountsAndFlags) {
  struct Expect {
    const char* name;
    TYPEKIND kind;
    WORD funcs, vars, impls, flags;
    const char* guid;
  };
  const Expect expected[] = {
      {"IPeer", TKIND_DISPATCH, 4, 4, 0, 0x1000, "{5A0B1005-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"IGadget", TKIND_DISPATCH, 23, 0, 1, 0x1140, "{5A0B1004-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"ShadeAlias", TKIND_ALIAS, 0, 0, 0, 0, "{00000000-0000-0000-0000-000000000000}"},
      {"Shade", TKIND_ENUM, 0, 4, 0, 0, "{5A0B1001-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"Hollow", TKIND_ENUM, 0, 0, 0, 0, "{5A0B1002-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"OLE_COLOR", TKIND_ALIAS, 0, 0, 0, 0, "{00000000-0000-0000-0000-000000000000}"},
      {"Font", TKIND_ALIAS, 0, 0, 0, 0, "{00000000-0000-0000-0000-000000000000}"},
      {"ICaption", TKIND_DISPATCH, 3, 0, 1, 0x1140, "{5A0B1003-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"IPlain", TKIND_INTERFACE, 3, 0, 1, 0x100, "{5A0B1006-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"IEvents", TKIND_DISPATCH, 0, 0, 0, 0x1000, "{5A0B1007-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"Gadget", TKIND_COCLASS, 0, 0, 3, TYPEFLAG_FCANCREATE,
       "{5A0B1008-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"Nothing", TKIND_COCLASS, 0, 0, 0, 0, "{5A0B1009-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
      {"Point", TKIND_RECORD, 0, 2, 0, 0, "{5A0B100A-7C1E-4D2A-9F31-0C6E2B7D4A10}"},
  };
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ASSERT_EQ(lib->GetTypeInfoCount(), std::size(expected));
  for (UINT i = 0; i < std::size(expected); ++i) {
    const Expect& e = expected[i];
    SCOPED_TRACE(e.name);
    TYPEKIND kind;
    ASSERT_EQ(lib->GetTypeInfoType(i, &kind), S_OK);
    EXPECT_EQ(kind, e.kind);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfo(i, info.Put()), S_OK);
    EXPECT_EQ(NameOf(info.Get()), e.name);
    Attr a(info.Get());
    EXPECT_EQ(a->typekind, e.kind);
    EXPECT_EQ(a->cFuncs, e.funcs);
    EXPECT_EQ(a->cVars, e.vars);
    EXPECT_EQ(a->cImplTypes, e.impls);
    EXPECT_EQ(a->wTypeFlags, e.flags);
    EXPECT_EQ(halyard::ole::GuidToString(a->guid), e.guid);
    ComPtr<ITypeLib> owner;
    UINT index = 99;
    ASSERT_EQ(info->GetContainingTypeLib(owner.Put(), &index), S_OK);
    EXPECT_EQ(owner.Get(), lib.Get());
    EXPECT_EQ(index, i);
  }
  BSTR doc = nullptr;
  ASSERT_EQ(lib->GetDocumentation(3, nullptr, &doc, nullptr, nullptr), S_OK);
  EXPECT_EQ(TakeAnsi(doc), "Shades of a gadget");
}

TEST(TypeLibReader, DualInterfaceShowsAutomationMembersAndItsVtableFace) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> caption = Find(lib.Get(), "ICaption");
  {
    Func get(caption.Get(), 0);
    EXPECT_EQ(get->memid, 1);
    EXPECT_EQ(get->funckind, FUNC_DISPATCH);
    EXPECT_EQ(get->invkind, INVOKE_PROPERTYGET);
    EXPECT_EQ(get->cParams, 0);
    EXPECT_EQ(get->elemdescFunc.tdesc.vt, VT_BSTR);
    Func put(caption.Get(), 1);
    EXPECT_EQ(put->invkind, INVOKE_PROPERTYPUT);
    ASSERT_EQ(put->cParams, 1);
    EXPECT_EQ(put->lprgelemdescParam[0].tdesc.vt, VT_BSTR);
    EXPECT_EQ(put->elemdescFunc.tdesc.vt, VT_VOID);
    Func refresh(caption.Get(), 2);
    EXPECT_EQ(refresh->invkind, INVOKE_FUNC);
    EXPECT_EQ(refresh->elemdescFunc.tdesc.vt, VT_VOID);
    EXPECT_EQ(MemberName(caption.Get(), 2), "Refresh");
  }
  HREFTYPE href = 0;
  ASSERT_EQ(caption->GetRefTypeOfImplType(UINT(-1), &href), S_OK);
  ComPtr<ITypeInfo> vtable = Ref(caption.Get(), href);
  Attr a(vtable.Get());
  EXPECT_EQ(a->typekind, TKIND_INTERFACE);
  EXPECT_EQ(a->cbSizeVft, 40);
  Func get(vtable.Get(), 0);
  EXPECT_EQ(get->funckind, FUNC_PUREVIRTUAL);
  EXPECT_EQ(get->elemdescFunc.tdesc.vt, VT_HRESULT);
  EXPECT_EQ(get->oVft, 28);
  ASSERT_EQ(get->cParams, 1);
  EXPECT_EQ(get->lprgelemdescParam[0].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
  ASSERT_EQ(get->lprgelemdescParam[0].tdesc.vt, VT_PTR);
  EXPECT_EQ(get->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_BSTR);
  // Both faces derive from IDispatch, which the header's dispatch handle names.
  for (ITypeInfo* face : {caption.Get(), vtable.Get()}) {
    ASSERT_EQ(face->GetRefTypeOfImplType(0, &href), S_OK);
    EXPECT_EQ(NameOf(Ref(face, href).Get()), "IDispatch");
  }
  EXPECT_EQ(vtable->GetRefTypeOfImplType(UINT(-1), &href), TYPE_E_ELEMENTNOTFOUND);
}

// The functions of a dispatch face as "name:memid:result type:parameter count", in order.
std::vector<std::string> Shown(ITypeInfo* info) {
  std::vector<std::string> out;
  Attr a(info);
  for (UINT i = 0; i < a->cFuncs; ++i) {
    Func f(info, i);
    EXPECT_EQ(f->funckind, FUNC_DISPATCH);
    out.push_back(MemberName(info, f->memid) + ":" + std::to_string(f->memid) + ":" +
                  std::to_string(f->elemdescFunc.tdesc.vt) + ":" + std::to_string(f->cParams));
  }
  return out;
}

TEST(TypeLibReader, DerivedDualInterfaceShowsItsWholeChainOnTheDispatchFace) {
  ComPtr<ITypeLib> lib = Load("derived.tlb");
  ComPtr<ITypeInfo> derived = Find(lib.Get(), "IDerived");
  {
    Attr a(derived.Get());
    EXPECT_EQ(a->typekind, TKIND_DISPATCH);
    EXPECT_EQ(a->cFuncs, 4);
    EXPECT_EQ(a->cbSizeVft, 28);
    EXPECT_EQ(a->cImplTypes, 1);
  }
  // IBase's members first, as they come first in the vtable.
  EXPECT_EQ(Shown(derived.Get()),
            (std::vector<std::string>{"Size:1:3:0", "Reset:2:24:1", "Title:3:8:0", "Grow:4:3:1"}));
  EXPECT_EQ(Func(derived.Get(), 0)->invkind, INVOKE_PROPERTYGET);
  EXPECT_EQ(derived->GetFuncDesc(4, nullptr), E_INVALIDARG);
  FUNCDESC* none = nullptr;
  EXPECT_EQ(derived->GetFuncDesc(4, &none), TYPE_E_ELEMENTNOTFOUND);

  // Names, identifiers and documentation reach the inherited members too.
  LPOLESTR names[2];
  std::u16string reset = u"reset", to = u"TO";
  names[0] = reset.data();
  names[1] = to.data();
  MEMBERID ids[2] = {};
  ASSERT_EQ(derived->GetIDsOfNames(names, 2, ids), S_OK);
  EXPECT_EQ(ids[0], 2);
  EXPECT_EQ(ids[1], 0);
  BSTR got[3] = {};
  UINT count = 0;
  ASSERT_EQ(derived->GetNames(2, got, 3, &count), S_OK);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(TakeAnsi(got[0]), "Reset");
  EXPECT_EQ(TakeAnsi(got[1]), "to");

  // The dispatch face derives from IDispatch alone...
  HREFTYPE href = 0;
  ASSERT_EQ(derived->GetRefTypeOfImplType(0, &href), S_OK);
  EXPECT_EQ(NameOf(Ref(derived.Get(), href).Get()), "IDispatch");
  EXPECT_EQ(derived->GetRefTypeOfImplType(1, &href), TYPE_E_ELEMENTNOTFOUND);
  // ...while the vtable face keeps its own two members after 11 slots' worth of vtable and
  // names IBase as its base.
  ASSERT_EQ(derived->GetRefTypeOfImplType(UINT(-1), &href), S_OK);
  ComPtr<ITypeInfo> vtable = Ref(derived.Get(), href);
  {
    Attr a(vtable.Get());
    EXPECT_EQ(a->typekind, TKIND_INTERFACE);
    EXPECT_EQ(a->cFuncs, 2);
    EXPECT_EQ(a->cbSizeVft, 44);
    Func title(vtable.Get(), 0);
    EXPECT_EQ(title->oVft, 36);
    EXPECT_EQ(title->funckind, FUNC_PUREVIRTUAL);
  }
  ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &href), S_OK);
  ComPtr<ITypeInfo> base = Ref(vtable.Get(), href);
  EXPECT_EQ(NameOf(base.Get()), "IBase");
  EXPECT_EQ(Shown(base.Get()), (std::vector<std::string>{"Size:1:3:0", "Reset:2:24:1"}));
}

TEST(TypeLibReader, DualChainReachesIntoAnImportedLibraryAndStopsWhereItCannot) {
  ComPtr<ITypeLib> lib = Load("further.tlb");
  ComPtr<ITypeInfo> further = Find(lib.Get(), "IFurther");
  EXPECT_EQ(Shown(further.Get()),
            (std::vector<std::string>{"Size:1:3:0", "Reset:2:24:1", "Title:3:8:0", "Grow:4:3:1",
                                      "Origin:5:26:0"}));
  // IDispatch is named through a handle of the imported library's own.
  HREFTYPE href = 0;
  ASSERT_EQ(further->GetRefTypeOfImplType(0, &href), S_OK);
  EXPECT_EQ(NameOf(Ref(further.Get(), href).Get()), "IDispatch");
  // A type a member of this library names is still this library's reference.
  {
    Func origin(further.Get(), 4);
    ASSERT_EQ(origin->elemdescFunc.tdesc.lptdesc->vt, VT_USERDEFINED);
    EXPECT_EQ(NameOf(Ref(further.Get(), origin->elemdescFunc.tdesc.lptdesc->hreftype).Get()),
              "IBase");
  }
  ComPtr<ITypeInfo> bogus;
  EXPECT_EQ(further->GetRefTypeInfo(href + 400, bogus.Put()), TYPE_E_ELEMENTNOTFOUND);

  // Without the imported library the chain ends at its first link: only the own member, and
  // the unreadable base as it is stored.
  ::halyard::testing::ScratchDir dir("typelib-test");
  std::filesystem::copy_file(DataPath("further.tlb"), dir.path() + "/further.tlb");
  std::u16string path = halyard::ole::AnsiToWide(dir.path() + "/further.tlb");
  unsetenv("HALYARD_TYPELIB_PATH");
  ITypeLib* raw = nullptr;
  ASSERT_EQ(LoadTypeLib(path.c_str(), &raw), S_OK);
  ComPtr<ITypeLib> alone = ComPtr<ITypeLib>::Attach(raw);
  further = Find(alone.Get(), "IFurther");
  EXPECT_EQ(Shown(further.Get()), (std::vector<std::string>{"Origin:5:26:0"}));
  ASSERT_EQ(further->GetRefTypeOfImplType(0, &href), S_OK);
  EXPECT_EQ(further->GetRefTypeInfo(href, bogus.Put()), TYPE_E_CANTLOADLIBRARY);
}

TEST(TypeLibReader, ParametersKeepTheirFlagsPointersAndNames) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> gadget = Find(lib.Get(), "IGadget");
  Func move(gadget.Get(), 16);
  EXPECT_EQ(move->memid, 20);
  ASSERT_EQ(move->cParams, 3);
  const ELEMDESC* p = move->lprgelemdescParam;
  EXPECT_EQ(p[0].tdesc.vt, VT_I4);
  EXPECT_EQ(p[0].paramdesc.wParamFlags, PARAMFLAG_FIN);
  EXPECT_EQ(p[1].tdesc.vt, VT_PTR);
  EXPECT_EQ(p[1].tdesc.lptdesc->vt, VT_I4);
  EXPECT_EQ(p[1].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT);
  EXPECT_EQ(p[2].tdesc.lptdesc->vt, VT_BOOL);
  EXPECT_EQ(p[2].paramdesc.wParamFlags, PARAMFLAG_FOUT);
  BSTR names[5] = {};
  UINT got = 0;
  ASSERT_EQ(gadget->GetNames(20, names, 5, &got), S_OK);
  ASSERT_EQ(got, 4u);
  std::vector<std::string> texts;
  for (UINT i = 0; i < got; ++i) texts.push_back(TakeAnsi(names[i]));
  EXPECT_EQ(texts, (std::vector<std::string>{"Move", "x", "y", "moved"}));
  ASSERT_EQ(gadget->GetNames(20, names, 2, &got), S_OK);
  EXPECT_EQ(got, 2u);
  TakeAnsi(names[0]);
  TakeAnsi(names[1]);

  Func measure(gadget.Get(), 17);
  ASSERT_EQ(measure->cParams, 5);  // the [retval] became the result
  EXPECT_EQ(measure->elemdescFunc.tdesc.vt, VT_BOOL);
  const VARTYPE types[] = {VT_R8, VT_R4, VT_I2, VT_DATE, VT_I8};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(measure->lprgelemdescParam[i].tdesc.vt, types[i]);
  Func blend(gadget.Get(), 18);
  EXPECT_EQ(blend->lprgelemdescParam[0].tdesc.vt, VT_VARIANT);
  EXPECT_EQ(blend->lprgelemdescParam[1].tdesc.vt, VT_ERROR);
  Func tweak(gadget.Get(), 19);
  EXPECT_EQ(tweak->wFuncFlags, FUNCFLAG_FHIDDEN);
  EXPECT_EQ(tweak->lprgelemdescParam[0].tdesc.vt, VT_UNKNOWN);
  EXPECT_EQ(tweak->elemdescFunc.tdesc.vt, VT_DISPATCH);
  Func wipe(gadget.Get(), 20);
  EXPECT_EQ(wipe->wFuncFlags, FUNCFLAG_FRESTRICTED);
  ASSERT_EQ(wipe->lprgelemdescParam[0].tdesc.vt, VT_USERDEFINED);
  EXPECT_EQ(NameOf(Ref(gadget.Get(), wipe->lprgelemdescParam[0].tdesc.hreftype).Get()), "Shade");
  Func spread(gadget.Get(), 21);
  EXPECT_EQ(spread->cParams, 12);

  MEMBERID ids[3];
  LPOLESTR query[] = {const_cast<LPOLESTR>(u"move"), const_cast<LPOLESTR>(u"MOVED"),
                      const_cast<LPOLESTR>(u"x")};
  ASSERT_EQ(gadget->GetIDsOfNames(query, 3, ids), S_OK);
  EXPECT_EQ(ids[0], 20);
  EXPECT_EQ(ids[1], 2);
  EXPECT_EQ(ids[2], 0);
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"Nowhere")};
  EXPECT_EQ(gadget->GetIDsOfNames(unknown, 1, ids), DISP_E_UNKNOWNNAME);
}

TEST(TypeLibReader, DispatchVariablesEnumerationConstantsAliasesAndRecords) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> peer = Find(lib.Get(), "IPeer");
  const char* names[] = {"Name", "Id", "Bound", "Weight"};
  const MEMBERID ids[] = {1, 2, 4, 5};
  const VARTYPE types[] = {VT_BSTR, VT_I4, VT_I4, VT_R8};
  for (UINT i = 0; i < 4; ++i) {
    Var v(peer.Get(), i);
    EXPECT_EQ(v->varkind, VAR_DISPATCH);
    EXPECT_EQ(v->memid, ids[i]);
    EXPECT_EQ(v->elemdescVar.tdesc.vt, types[i]);
    EXPECT_EQ(v->wVarFlags, i == 1 ? VARFLAG_FREADONLY : 0);
    EXPECT_EQ(MemberName(peer.Get(), v->memid), names[i]);
  }

  ComPtr<ITypeInfo> shade = Find(lib.Get(), "Shade");
  const char* constants[] = {"shNone", "shLight", "shDark", "shDeep"};
  const LONG values[] = {0, 1, -2, 2147483647};
  for (UINT i = 0; i < 4; ++i) {
    Var v(shade.Get(), i);
    EXPECT_EQ(v->varkind, VAR_CONST);
    ASSERT_NE(v->lpvarValue, nullptr);
    EXPECT_EQ(v->lpvarValue->vt, VT_I4);
    EXPECT_EQ(v->lpvarValue->lVal, values[i]);
    EXPECT_EQ(MemberName(shade.Get(), v->memid), constants[i]);
  }
  VARDESC* none = nullptr;
  EXPECT_EQ(shade->GetVarDesc(4, &none), TYPE_E_ELEMENTNOTFOUND);

  ComPtr<ITypeInfo> alias = Find(lib.Get(), "ShadeAlias");
  {
    Attr a(alias.Get());
    ASSERT_EQ(a->tdescAlias.vt, VT_USERDEFINED);
    EXPECT_EQ(NameOf(Ref(alias.Get(), a->tdescAlias.hreftype).Get()), "Shade");
  }
  ComPtr<ITypeInfo> colorInfo = Find(lib.Get(), "OLE_COLOR");
  Attr color(colorInfo.Get());
  EXPECT_EQ(color->tdescAlias.vt, VT_UI4);

  ComPtr<ITypeInfo> point = Find(lib.Get(), "Point");
  Attr pa(point.Get());
  EXPECT_EQ(pa->cbSizeInstance, 8u);
  Var y(point.Get(), 1);
  EXPECT_EQ(y->varkind, VAR_PERINSTANCE);
  EXPECT_EQ(y->oInst, 4u);
}

TEST(TypeLibReader, ComponentClassListsItsInterfacesWithFlags) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> gadget = Find(lib.Get(), "Gadget");
  const char* names[] = {"IGadget", "ICaption", "IEvents"};
  const INT flags[] = {IMPLTYPEFLAG_FDEFAULT, 0, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE};
  for (UINT i = 0; i < 3; ++i) {
    HREFTYPE href = 0;
    INT f = -1;
    ASSERT_EQ(gadget->GetRefTypeOfImplType(i, &href), S_OK);
    ASSERT_EQ(gadget->GetImplTypeFlags(i, &f), S_OK);
    EXPECT_EQ(f, flags[i]);
    EXPECT_EQ(NameOf(Ref(gadget.Get(), href).Get()), names[i]);
  }
  HREFTYPE href = 0;
  EXPECT_EQ(gadget->GetRefTypeOfImplType(3, &href), TYPE_E_ELEMENTNOTFOUND);
  ComPtr<ITypeInfo> bad;
  EXPECT_EQ(gadget->GetRefTypeInfo(0x7FFFFF00, bad.Put()), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(gadget->GetRefTypeInfo(0x1235, bad.Put()), TYPE_E_ELEMENTNOTFOUND);
}

TEST(TypeLibReader, ImportedTypesAreReadFromTheImportedLibrary) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> plain = Find(lib.Get(), "IPlain");
  HREFTYPE href = 0;
  ASSERT_EQ(plain->GetRefTypeOfImplType(0, &href), S_OK);
  ComPtr<ITypeInfo> unknown = Ref(plain.Get(), href);
  EXPECT_EQ(NameOf(unknown.Get()), "IUnknown");
  Attr a(unknown.Get());
  EXPECT_EQ(halyard::ole::GuidToString(a->guid), "{00000000-0000-0000-C000-000000000046}");
  EXPECT_EQ(a->cFuncs, 3);
  ComPtr<ITypeLib> stdole;
  ASSERT_EQ(unknown->GetContainingTypeLib(stdole.Put(), nullptr), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(stdole->GetDocumentation(-1, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(TakeAnsi(name), "stdole");

  // IGadget's Picture is typed IPictureDisp**, defined in stdole2.
  ComPtr<ITypeInfo> gadget = Find(lib.Get(), "IGadget");
  Func picture(gadget.Get(), 7);
  EXPECT_EQ(MemberName(gadget.Get(), picture->memid), "Picture");
  const TYPEDESC* t = &picture->elemdescFunc.tdesc;
  ASSERT_EQ(t->vt, VT_PTR);
  ASSERT_EQ(t->lptdesc->vt, VT_USERDEFINED);
  ComPtr<ITypeInfo> pic = Ref(gadget.Get(), t->lptdesc->hreftype);
  EXPECT_EQ(NameOf(pic.Get()), "IPictureDisp");
  Attr pa(pic.Get());
  EXPECT_EQ(pa->typekind, TKIND_DISPATCH);
}


TEST(TypeLibReader, MissingImportFailsOnlyItsReferencesAndTheSearchPathFindsIt) {
  ::halyard::testing::ScratchDir dir("typelib-test");
  std::filesystem::copy_file(DataPath("gadgets.tlb"), dir.path() + "/gadgets.tlb");
  std::u16string path = halyard::ole::AnsiToWide(dir.path() + "/gadgets.tlb");
  unsetenv("HALYARD_TYPELIB_PATH");
  ITypeLib* raw = nullptr;
  ASSERT_EQ(LoadTypeLib(path.c_str(), &raw), S_OK);
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  ComPtr<ITypeInfo> plain = Find(lib.Get(), "IPlain");
  HREFTYPE href = 0;
  ASSERT_EQ(plain->GetRefTypeOfImplType(0, &href), S_OK);
  ComPtr<ITypeInfo> ref;
  EXPECT_EQ(plain->GetRefTypeInfo(href, ref.Put()), TYPE_E_CANTLOADLIBRARY);

  setenv("HALYARD_TYPELIB_PATH", (dir.path() + "/none:" + DataPath("")).c_str(), 1);
  ASSERT_EQ(LoadTypeLib(path.c_str(), &raw), S_OK);
  ComPtr<ITypeLib> again = ComPtr<ITypeLib>::Attach(raw);
  plain = Find(again.Get(), "IPlain");
  EXPECT_EQ(plain->GetRefTypeInfo(href, ref.Put()), S_OK);
  unsetenv("HALYARD_TYPELIB_PATH");
}

TEST(TypeLibLoad, FailureCodes) {
  ITypeLib* lib = reinterpret_cast<ITypeLib*>(1);
  EXPECT_EQ(LoadTypeLib(nullptr, &lib), E_INVALIDARG);
  EXPECT_EQ(LoadTypeLib(u"x.tlb", nullptr), E_INVALIDARG);
  std::u16string missing = halyard::ole::AnsiToWide(DataPath("missing.tlb"));
  EXPECT_EQ(LoadTypeLib(missing.c_str(), &lib), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(lib, nullptr);
  std::u16string idl = halyard::ole::AnsiToWide(DataPath("gadgets.idl"));
  EXPECT_EQ(LoadTypeLib(idl.c_str(), &lib), TYPE_E_UNSUPFORMAT);
  std::u16string folder = halyard::ole::AnsiToWide(DataPath(""));
  EXPECT_NE(LoadTypeLib(folder.c_str(), &lib), S_OK);
  EXPECT_EQ(halyard::ole::LoadTypeLibFromMemory(nullptr, 0, "", &lib), TYPE_E_INVDATAREAD);
}

// Everything a caller can reach from a library, to run over damaged files.
void WalkAll(ITypeLib* lib) {
  for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
    ComPtr<ITypeInfo> info;
    if (FAILED(lib->GetTypeInfo(i, info.Put()))) continue;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) continue;
    for (UINT f = 0; f < attr->cFuncs; ++f) {
      FUNCDESC* fd = nullptr;
      if (FAILED(info->GetFuncDesc(f, &fd))) continue;
      BSTR names[4] = {};
      UINT got = 0;
      if (SUCCEEDED(info->GetNames(fd->memid, names, 4, &got)))
        for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
      info->ReleaseFuncDesc(fd);
    }
    for (UINT v = 0; v < attr->cVars; ++v) {
      VARDESC* vd = nullptr;
      if (SUCCEEDED(info->GetVarDesc(v, &vd))) info->ReleaseVarDesc(vd);
    }
    for (UINT t = 0; t < attr->cImplTypes; ++t) {
      HREFTYPE href;
      ComPtr<ITypeInfo> ref;
      if (SUCCEEDED(info->GetRefTypeOfImplType(t, &href))) info->GetRefTypeInfo(href, ref.Put());
    }
    info->ReleaseTypeAttr(attr);
  }
}

HRESULT LoadBytes(const std::vector<BYTE>& bytes, ComPtr<ITypeLib>* out) {
  ITypeLib* lib = nullptr;
  HRESULT hr = halyard::ole::LoadTypeLibFromMemory(bytes.data(), bytes.size(), DataPath(""), &lib);
  *out = ComPtr<ITypeLib>::Attach(lib);
  EXPECT_EQ(SUCCEEDED(hr), lib != nullptr);
  return hr;
}

TEST(TypeLibLoad, EveryTruncatedCopyIsRefused) {
  std::vector<BYTE> full = ReadFile(DataPath("gadgets.tlb"));
  ASSERT_GT(full.size(), 1000u);
  for (std::size_t n = 0; n < full.size(); ++n) {
    std::vector<BYTE> cut(full.begin(), full.begin() + std::ptrdiff_t(n));
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadBytes(cut, &lib);
    if (n < 0x54) {
      EXPECT_NE(hr, S_OK) << n;
    }
    if (lib) WalkAll(lib.Get());
  }
}

std::size_t SegmentDirectory(const std::vector<BYTE>& b) {
  DWORD n, varflags;
  std::memcpy(&n, &b[0x20], 4);
  std::memcpy(&varflags, &b[0x14], 4);
  return 0x54 + ((varflags & 0x100) ? 4 : 0) + 4 * n;
}

LONG Get32(const std::vector<BYTE>& b, std::size_t at) {
  LONG v;
  std::memcpy(&v, &b[at], 4);
  return v;
}
void Put32(std::vector<BYTE>& b, std::size_t at, LONG v) { std::memcpy(&b[at], &v, 4); }

TEST(TypeLibLoad, OutOfRangeOffsetsCountsAndCyclesAreRefused) {
  const std::vector<BYTE> good = ReadFile(DataPath("gadgets.tlb"));
  std::size_t dir = SegmentDirectory(good);
  std::size_t typeInfos = std::size_t(Get32(good, dir));
  auto expectRefused = [&](std::vector<BYTE> bytes, const char* what) {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadBytes(bytes, &lib), TYPE_E_INVDATAREAD) << what;
  };
  std::vector<BYTE> b = good;
  Put32(b, 0x20, 0x7FFFFFFF);
  expectRefused(b, "huge type count");
  b = good;
  Put32(b, dir + 16 * 7 + 4, 0x7FFFFFF0);
  expectRefused(b, "name segment longer than the file");
  b = good;
  Put32(b, typeInfos + 0x34, 0x7FFFFFF0);
  expectRefused(b, "type name offset outside the name table");
  b = good;
  Put32(b, typeInfos + 0x18, 0x0000FFFF);
  expectRefused(b, "more functions than the member block holds");
  b = good;
  Put32(b, typeInfos + 0x04, LONG(good.size()) - 2);
  expectRefused(b, "member block past the end");

  // Pointers and arrays given as simple types, with nothing to point at.
  for (LONG simple : {LONG(0x801A001A), LONG(0x801C001C), LONG(0x801D001D)}) {
    b = good;
    Put32(b, typeInfos + 5 * 0x64 + 0x54, simple);  // the alias OLE_COLOR
    expectRefused(b, "pointer without a target");
  }

  // A name whose length runs past the end of the name table.
  b = good;
  std::size_t names = std::size_t(Get32(b, dir + 16 * 7));
  b[names + 8] = 0xFF;  // the library's own name, at offset 0
  Put32(b, dir + 16 * 7 + 4, 40);
  expectRefused(b, "unterminated name");

  // A pointer type description that points at itself.
  b = good;
  std::size_t descs = std::size_t(Get32(b, dir + 16 * 9));
  std::size_t descsLen = std::size_t(Get32(b, dir + 16 * 9 + 4));
  bool patched = false;
  for (std::size_t o = 0; o + 8 <= descsLen && !patched; o += 8) {
    if ((b[descs + o] | b[descs + o + 1] << 8) == VT_PTR) {
      Put32(b, descs + o + 4, LONG(o));
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  expectRefused(b, "self-referencing type description");

  // The component class's interface list looping back on itself.
  b = good;
  std::size_t refs = std::size_t(Get32(b, dir + 16 * 3));
  Put32(b, refs + 12, 0);
  Put32(b, refs + 16 * 1 + 12, 0);
  expectRefused(b, "looping interface list");
}

TEST(TypeLibLoad, RandomlyDamagedCopiesNeverCrash) {
  const std::vector<BYTE> good = ReadFile(DataPath("gadgets.tlb"));
  std::mt19937 rng(20261208);
  int loaded = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<BYTE> b = good;
    int edits = 1 + int(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      std::size_t at = rng() % b.size();
      if (rng() % 2)
        b[at] = BYTE(rng());
      else if (at + 4 <= b.size())
        Put32(b, at, LONG(rng() % 2 ? rng() : rng() % 0x2000));
    }
    ComPtr<ITypeLib> lib;
    if (SUCCEEDED(LoadBytes(b, &lib))) {
      ++loaded;
      WalkAll(lib.Get());
    }
  }
  EXPECT_GT(loaded, 0);  // some damage leaves a readable library
}

TEST(TypeLibLoad, ControlFilesCarryTheirLibraryAsAResource) {
  std::u16string ocx = halyard::ole::AnsiToWide(DataPath("gadgets.ocx"));
  ITypeLib* raw = nullptr;
  ASSERT_EQ(LoadTypeLib(ocx.c_str(), &raw), S_OK);
  ComPtr<ITypeLib> fromOcx = ComPtr<ITypeLib>::Attach(raw);
  ComPtr<ITypeLib> fromTlb = Load("gadgets.tlb");
  ASSERT_EQ(fromOcx->GetTypeInfoCount(), fromTlb->GetTypeInfoCount());
  for (UINT i = 0; i < fromTlb->GetTypeInfoCount(); ++i) {
    ComPtr<ITypeInfo> a, b;
    ASSERT_EQ(fromOcx->GetTypeInfo(i, a.Put()), S_OK);
    ASSERT_EQ(fromTlb->GetTypeInfo(i, b.Put()), S_OK);
    EXPECT_EQ(NameOf(a.Get()), NameOf(b.Get())) << i;
  }
  std::u16string first = ocx + u"\\1", second = ocx + u"\\2";
  ASSERT_EQ(LoadTypeLib(first.c_str(), &raw), S_OK);
  raw->Release();
  EXPECT_EQ(LoadTypeLib(second.c_str(), &raw), TYPE_E_CANTLOADLIBRARY);

  const std::vector<BYTE> good = ReadFile(DataPath("gadgets.ocx"));
  ComPtr<ITypeLib> lib;
  for (std::size_t n = 0; n < 0x400; ++n) {  // the headers and the resource tree
    std::vector<BYTE> cut(good.begin(), good.begin() + std::ptrdiff_t(n));
    EXPECT_NE(LoadBytes(cut, &lib), S_OK) << n;
  }
  std::vector<BYTE> b = good;
  std::size_t name = std::string(b.begin(), b.end()).find(std::string("T\0Y\0P\0E", 7));
  ASSERT_NE(name, std::string::npos);
  b[name] = 'X';
  EXPECT_EQ(LoadBytes(b, &lib), TYPE_E_CANTLOADLIBRARY);
  b = good;
  Put32(b, 0x200 + 0x48, 0x7FFFFF00);  // the data entry's address
  EXPECT_EQ(LoadBytes(b, &lib), TYPE_E_CANTLOADLIBRARY);
  std::mt19937 rng(7);
  for (int round = 0; round < 500; ++round) {
    b = good;
    for (int e = 0; e < 3; ++e) b[rng() % 0x300] = BYTE(rng());
    if (SUCCEEDED(LoadBytes(b, &lib))) WalkAll(lib.Get());
  }
}

TEST(TypeLibReader, DefaultValuesOfParameters) {
  ComPtr<ITypeLib> lib = Load("oddities.tlb");
  ComPtr<ITypeInfo> odd = Find(lib.Get(), "IOdd");
  Func f(odd.Get(), 0);
  EXPECT_EQ(MemberName(odd.Get(), f->memid), "Defaults");
  ASSERT_EQ(f->cParams, 4);
  const ELEMDESC* p = f->lprgelemdescParam;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(p[i].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT);
    ASSERT_NE(p[i].paramdesc.pparamdescex, nullptr) << i;
  }
  const VARIANT& few = p[0].paramdesc.pparamdescex->varDefaultValue;
  EXPECT_EQ(few.vt, VT_I4);
  EXPECT_EQ(few.lVal, 5);
  const VARIANT& big = p[1].paramdesc.pparamdescex->varDefaultValue;
  EXPECT_EQ(big.vt, VT_I4);
  EXPECT_EQ(big.lVal, -1000000000);
  const VARIANT& text = p[2].paramdesc.pparamdescex->varDefaultValue;
  ASSERT_EQ(text.vt, VT_BSTR);
  EXPECT_EQ(halyard::ole::AnsiFromBstr(text.bstrVal), "hi");
  EXPECT_EQ(p[3].paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOPT);
  EXPECT_EQ(p[3].paramdesc.pparamdescex, nullptr);
}

TEST(TypeLibReader, TypeInformationKeepsItsLibraryAlive) {
  ComPtr<ITypeInfo> caption;
  {
    ComPtr<ITypeLib> lib = Load("gadgets.tlb");
    caption = Find(lib.Get(), "ICaption");
    void* same = nullptr;
    ASSERT_EQ(lib->QueryInterface(IID_ITypeLib, &same), S_OK);
    EXPECT_EQ(same, lib.Get());
    lib->Release();
    EXPECT_EQ(lib->QueryInterface(IID_ITypeInfo, &same), E_NOINTERFACE);
    EXPECT_EQ(same, nullptr);
  }
  // The caller's library reference is gone; the type information still reads.
  EXPECT_EQ(NameOf(caption.Get()), "ICaption");
  ComPtr<ITypeLib> owner;
  ASSERT_EQ(caption->GetContainingTypeLib(owner.Put(), nullptr), S_OK);
  EXPECT_EQ(owner->GetTypeInfoCount(), 13u);
  void* unknown = nullptr;
  ASSERT_EQ(caption->QueryInterface(IID_IUnknown, &unknown), S_OK);
  EXPECT_EQ(unknown, static_cast<void*>(caption.Get()));
  caption->Release();
  // Descriptions released twice or never handed out are ignored.
  FUNCDESC* f = nullptr;
  ASSERT_EQ(caption->GetFuncDesc(0, &f), S_OK);
  caption->ReleaseFuncDesc(f);
  caption->ReleaseFuncDesc(f);
  TYPEATTR* leftOver = nullptr;
  ASSERT_EQ(caption->GetTypeAttr(&leftOver), S_OK);  // freed with the object
}

}  // namespace
}  // namespace halyard::ole::testing
