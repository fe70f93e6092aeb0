// Collection of the properties and methods of an interface from its type information.
#include "property_info.h"

#include "platform/ole/bstr.h"

namespace quarb {
namespace {

using halyard::ole::ComPtr;

constexpr int kMaxAliasDepth = 16;

bool IsObjectName(const std::string& name) {
  return name == "IFontDisp" || name == "Font" || name == "IPictureDisp" || name == "Picture";
}

// The special code of a user-defined type named like the controls' font, picture and colour
// types, or 0.
TypeCode SpecialCode(const std::string& name) {
  if (name == "OLE_COLOR") return kColorCode;
  if (name == "IFontDisp" || name == "Font") return kFontCode;
  if (name == "IPictureDisp" || name == "Picture") return kPictureCode;
  return 0;
}

EnumInfo ReadEnum(ITypeInfo* info, const std::string& name) {
  EnumInfo e;
  e.name = name;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return e;
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* var = nullptr;
    if (FAILED(info->GetVarDesc(i, &var))) continue;
    BSTR constant = nullptr;
    if (var->varkind == VAR_CONST && var->lpvarValue && var->lpvarValue->vt == VT_I4 &&
        SUCCEEDED(info->GetDocumentation(var->memid, &constant, nullptr, nullptr, nullptr)))
      e.constants.emplace_back(TakeAnsi(constant), var->lpvarValue->lVal);
    info->ReleaseVarDesc(var);
  }
  info->ReleaseTypeAttr(attr);
  return e;
}

// Gives a property the type of desc. False when a user-defined type cannot be read.
bool ResolveProperty(ITypeInfo* info, const TYPEDESC& desc, PropertyInfo& p, PropertyList& list,
                     int depth) {
  const TYPEDESC* d = &desc;
  while (d->vt == VT_PTR && d->lptdesc) d = d->lptdesc;
  if (d->vt != VT_USERDEFINED) {
    p.type = d->vt;
    return true;
  }
  ComPtr<ITypeInfo> ref;
  std::string name;
  if (FAILED(info->GetRefTypeInfo(d->hreftype, ref.Put())) || !TypeName(ref.Get(), &name))
    return false;
  if (TypeCode special = SpecialCode(name)) {
    p.flags |= kPropResolved;
    p.type = special;
    return true;
  }
  TYPEATTR* attr = nullptr;
  if (FAILED(ref->GetTypeAttr(&attr))) return false;
  bool ok = true;
  switch (attr->typekind) {
    case TKIND_ENUM:
      p.flags |= kPropEnum;
      list.enumerations.push_back(ReadEnum(ref.Get(), name));
      p.type = TypeCode(list.enumerations.size() - 1);
      break;
    case TKIND_DISPATCH:
      p.flags |= kPropDispatch;
      list.interfaces.push_back(name);
      p.type = TypeCode(list.interfaces.size() - 1);
      break;
    case TKIND_ALIAS:
      ok = depth < kMaxAliasDepth &&
           ResolveProperty(ref.Get(), attr->tdescAlias, p, list, depth + 1);
      break;
    case TKIND_INTERFACE:
    case TKIND_COCLASS:
      p.type = VT_UNKNOWN;
      break;
    default:
      p.type = VT_USERDEFINED;
      break;
  }
  ref->ReleaseTypeAttr(attr);
  return ok;
}

PropertyInfo& FindOrAdd(PropertyList& list, const std::string& name, MEMBERID memid) {
  for (PropertyInfo& p : list.properties)
    if (p.name == name) return p;
  PropertyInfo p;
  p.name = name;
  p.memid = memid;
  list.properties.push_back(p);
  return list.properties.back();
}

void SetType(ITypeInfo* info, const TYPEDESC& desc, PropertyInfo& p, PropertyList& list) {
  p.flags &= ~(kPropEnum | kPropDispatch);
  if (!ResolveProperty(info, desc, p, list, 0)) p.flags = 0;
}

// The code of a user-defined type in a method signature; *object tells whether it is an
// interface, whose one pointer level is the reference itself.
TypeCode MemberUserType(ITypeInfo* info, HREFTYPE href, int* levels, int depth) {
  ComPtr<ITypeInfo> ref;
  std::string name;
  if (FAILED(info->GetRefTypeInfo(href, ref.Put())) || !TypeName(ref.Get(), &name))
    return VT_USERDEFINED;
  if (TypeCode special = SpecialCode(name)) {
    if (IsObjectName(name) && *levels > 0) --*levels;
    return special;
  }
  TYPEATTR* attr = nullptr;
  if (FAILED(ref->GetTypeAttr(&attr))) return VT_USERDEFINED;
  TypeCode code = VT_USERDEFINED;
  switch (attr->typekind) {
    case TKIND_ENUM:
      code = VT_I4;
      break;
    case TKIND_DISPATCH:
    case TKIND_INTERFACE:
    case TKIND_COCLASS:
      code = attr->typekind == TKIND_DISPATCH ? VT_DISPATCH : VT_UNKNOWN;
      if (*levels > 0) --*levels;
      break;
    case TKIND_ALIAS:
      if (depth < kMaxAliasDepth) {
        const TYPEDESC* d = &attr->tdescAlias;
        while (d->vt == VT_PTR && d->lptdesc) d = d->lptdesc, ++*levels;
        code = d->vt == VT_USERDEFINED ? MemberUserType(ref.Get(), d->hreftype, levels, depth + 1)
                                       : d->vt;
      }
      break;
    default:
      break;
  }
  ref->ReleaseTypeAttr(attr);
  return code;
}

}  // namespace

std::string TakeAnsi(BSTR bstr) {
  std::string text = halyard::ole::AnsiFromBstr(bstr);
  SysFreeString(bstr);
  return text;
}

bool TypeName(ITypeInfo* info, std::string* name) {
  BSTR bstr = nullptr;
  if (FAILED(info->GetDocumentation(MEMBERID_NIL, &bstr, nullptr, nullptr, nullptr))) return false;
  *name = TakeAnsi(bstr);
  return true;
}

TypeCode MemberTypeCode(ITypeInfo* info, const TYPEDESC& desc) {
  int levels = 0;
  const TYPEDESC* d = &desc;
  while (d->vt == VT_PTR && d->lptdesc) d = d->lptdesc, ++levels;
  TypeCode code = d->vt == VT_USERDEFINED ? MemberUserType(info, d->hreftype, &levels, 0) : d->vt;
  return levels > 0 ? TypeCode(code | kByRef) : code;
}

void CollectProperties(ITypeInfo* info, PropertyList* out) {
  *out = PropertyList();
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    bool accessor = f->invkind == INVOKE_PROPERTYGET || f->invkind == INVOKE_PROPERTYPUT ||
                    f->invkind == INVOKE_PROPERTYPUTREF;
    bool put = f->invkind != INVOKE_PROPERTYGET;
    // Accessors with index parameters are left out, except those of vtable functions;
    // the one parameter of a put is its value, not an index.
    bool plain = f->cParams == 0 || f->funckind == FUNC_PUREVIRTUAL || (put && f->cParams == 1);
    BSTR bstr = nullptr;
    if (accessor && plain && !(f->wFuncFlags & (FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN)) &&
        SUCCEEDED(info->GetDocumentation(f->memid, &bstr, nullptr, nullptr, nullptr))) {
      PropertyInfo& p = FindOrAdd(*out, TakeAnsi(bstr), f->memid);
      if (f->invkind == INVOKE_PROPERTYGET) {
        p.flags |= kPropReadable;
        SetType(info, f->cParams > 0 ? f->lprgelemdescParam[0].tdesc : f->elemdescFunc.tdesc, p,
                *out);
      } else {
        p.flags |= f->invkind == INVOKE_PROPERTYPUT ? kPropWritable : kPropPutRef;
        // Until a get accessor gives the type, the value of the put does.
        if (!(p.flags & kPropReadable) && p.type == 0 && f->cParams > 0)
          SetType(info, f->lprgelemdescParam[f->cParams - 1].tdesc, p, *out);
      }
    }
    info->ReleaseFuncDesc(f);
  }
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* v = nullptr;
    if (FAILED(info->GetVarDesc(i, &v))) continue;
    BSTR bstr = nullptr;
    if (v->varkind == VAR_DISPATCH && !(v->wVarFlags & (VARFLAG_FHIDDEN | VARFLAG_FDEFAULTBIND)) &&
        SUCCEEDED(info->GetDocumentation(v->memid, &bstr, nullptr, nullptr, nullptr))) {
      PropertyInfo& p = FindOrAdd(*out, TakeAnsi(bstr), v->memid);
      p.flags |= kPropReadable | kPropVariable;
      if (!(v->wVarFlags & VARFLAG_FREADONLY)) p.flags |= kPropWritable;
      SetType(info, v->elemdescVar.tdesc, p, *out);
    }
    info->ReleaseVarDesc(v);
  }
  info->ReleaseTypeAttr(attr);
}

void CollectMethods(ITypeInfo* info, bool withNames, std::vector<MethodInfo>* out) {
  out->clear();
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  std::vector<BSTR> names;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    if (f->invkind == INVOKE_FUNC) {
      MethodInfo m;
      m.memid = f->memid;
      m.result = MemberTypeCode(info, f->elemdescFunc.tdesc);
      m.paramCount = UINT(f->cParams);
      for (SHORT p = 0; p < f->cParams; ++p)
        m.paramTypes.push_back(MemberTypeCode(info, f->lprgelemdescParam[p].tdesc));
      names.assign(std::size_t(f->cParams) + 1, nullptr);
      UINT got = 0;
      if (withNames) {
        if (SUCCEEDED(info->GetNames(f->memid, names.data(), UINT(names.size()), &got))) {
          for (UINT n = 0; n < got; ++n) {
            std::string text = TakeAnsi(names[n]);
            if (n == 0)
              m.name = text;
            else
              m.paramNames += text + "\t";
          }
          for (UINT n = got ? got : 1; n < names.size(); ++n) m.paramNames += "\t";
        }
      } else {
        BSTR bstr = nullptr;
        if (SUCCEEDED(info->GetDocumentation(f->memid, &bstr, nullptr, nullptr, nullptr)))
          m.name = TakeAnsi(bstr);
      }
      out->push_back(std::move(m));
    }
    info->ReleaseFuncDesc(f);
  }
  info->ReleaseTypeAttr(attr);
}

std::vector<std::string> SplitParamNames(const MethodInfo& m) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < m.paramNames.size()) {
    std::size_t tab = m.paramNames.find('\t', start);
    if (tab == std::string::npos) tab = m.paramNames.size();
    names.push_back(m.paramNames.substr(start, tab - start));
    start = tab + 1;
  }
  names.resize(m.paramCount);
  return names;
}

}  // namespace quarb
