// The formats of the generated Java. Each Printf below writes one piece of a line as the
// stubs have always been laid out; see the unit tests for whole examples.
#include "stub_writer.h"

#include "java_types.h"
#include "property_info.h"
#include "type_walk.h"

namespace quarb {
namespace {

using halyard::ole::ComPtr;

// The name a parameter is written with: its own, or its position when it has none.
std::string ParamName(const std::vector<std::string>& names, std::size_t i) {
  if (i < names.size() && !names[i].empty()) return names[i];
  return "arg" + std::to_string(i + 1);
}

void WriteParams(StubFile& out, const MethodInfo& m) {
  std::vector<std::string> names = SplitParamNames(m);
  for (std::size_t i = 0; i < m.paramTypes.size(); ++i) {
    if (i) out.Printf(", ");
    out.Printf("%s %s", JavaMemberType(m.paramTypes[i]).c_str(), ParamName(names, i).c_str());
  }
}

// The implemented interfaces of a class, in order, up to the first that cannot be read.
template <typename Each>
void ForEachInterface(ITypeInfo* info, Each each) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  UINT count = attr->cImplTypes;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    HREFTYPE href = 0;
    ComPtr<ITypeInfo> ref;
    std::string name;
    if (FAILED(info->GetRefTypeOfImplType(i, &href)) ||
        FAILED(info->GetRefTypeInfo(href, ref.Put())) || !TypeName(ref.Get(), &name))
      return;
    each(ref.Get(), name);
  }
}

const MemberCache::Members& Collect(ITypeInfo* info, MemberCache* cache,
                                    MemberCache::Members* local) {
  if (cache) return cache->Get(info);
  CollectProperties(info, &local->props);
  CollectMethods(info, true, &local->methods);
  return *local;
}

void WriteMemberBodies(StubFile& out, ITypeInfo* info, MemberCache* cache) {
  MemberCache::Members local;
  const MemberCache::Members& members = Collect(info, cache, &local);
  const PropertyList& props = members.props;
  out.Printf("   // properties\n");
  for (const PropertyInfo& p : props.properties) {
    std::string type = JavaPropertyType(p.type, p.flags, props.interfaces);
    if (p.flags & kPropReadable)
      out.Printf("    public %s get%s() { return %s; }\n", type.c_str(), p.name.c_str(),
                 JavaPropertyDefault(p.type, p.flags).c_str());
    if (p.flags & kPropWritable)
      out.Printf("    public void set%s(%s %s) {}\n", p.name.c_str(), type.c_str(), p.name.c_str());
  }
  out.Printf("   // methods\n");
  for (const MethodInfo& m : members.methods) {
    out.Printf("    public %s %s(", JavaMemberType(m.result).c_str(), m.name.c_str());
    WriteParams(out, m);
    const char* value = JavaDefaultValue(m.result);
    std::string body = *value ? std::string("return ") + value + ";" : std::string();
    out.Printf(")  { %s };\n", body.c_str());
  }
}

using TypeWriter = HRESULT (*)(StubFile&, ITypeInfo*, const std::string&, MemberCache*);

HRESULT Walk(ITypeLib* lib, IStream* stream, TypeWriter classWriter) {
  StubFile out(stream);
  MemberCache cache;
  WalkTypeLibrary(lib, [&](TYPEKIND kind, const std::string& name, ITypeInfo* info) {
    switch (kind) {
      case TKIND_ENUM:
        WriteEnumInterface(out, info, name);
        break;
      case TKIND_INTERFACE:
      case TKIND_DISPATCH:
        WriteAbstractInterface(out, info, name, &cache);
        break;
      case TKIND_COCLASS:
        classWriter(out, info, name, &cache);
        break;
      default:
        break;
    }
  });
  out.Flush();
  return S_OK;
}

}  // namespace

HRESULT WriteEnumInterface(StubFile& out, ITypeInfo* info, const std::string& name) {
  out.Printf("interface %s \n{\n", name.c_str());
  TYPEATTR* attr = nullptr;
  HRESULT hr = info->GetTypeAttr(&attr);
  UINT count = SUCCEEDED(hr) ? attr->cVars : 0;
  if (SUCCEEDED(hr)) info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    VARDESC* var = nullptr;
    if (FAILED(info->GetVarDesc(i, &var))) continue;
    const VARIANT* v = var->varkind == VAR_CONST ? var->lpvarValue : nullptr;
    // Only integer constants have a place in an interface of int constants; wider or
    // unsigned ones are taken modulo 2^32 as a 32-bit long would hold them.
    bool integer = v && (v->vt == VT_I4 || v->vt == VT_INT || v->vt == VT_I2 || v->vt == VT_UI2 ||
                         v->vt == VT_I1 || v->vt == VT_UI1 || v->vt == VT_UI4 || v->vt == VT_UINT ||
                         v->vt == VT_ERROR);
    LONG value = 0;
    if (integer) {
      switch (v->vt) {
        case VT_I2:
          value = v->iVal;
          break;
        case VT_UI2:
          value = v->uiVal;
          break;
        case VT_I1:
          value = v->cVal;
          break;
        case VT_UI1:
          value = v->bVal;
          break;
        case VT_UI4:
        case VT_UINT:
          value = LONG(v->ulVal);
          break;
        default:
          value = v->lVal;
          break;
      }
    }
    BSTR bstr = nullptr;
    HRESULT nameHr = info->GetDocumentation(var->memid, &bstr, nullptr, nullptr, nullptr);
    info->ReleaseVarDesc(var);
    if (FAILED(nameHr)) {
      // The type's output ends here, but closed, so that the stream stays valid Java.
      out.Printf("}\n\n");
      return nameHr;
    }
    std::string constant = TakeAnsi(bstr);
    if (integer) out.Printf("    public static final int %s = %d;\n", constant.c_str(), int(value));
  }
  out.Printf(count ? "}\n\n" : "\n}\n\n");
  return S_OK;
}

HRESULT WriteAbstractInterface(StubFile& out, ITypeInfo* info, const std::string& name,
                               MemberCache* cache) {
  out.Printf("public interface %s \n{\n", name.c_str());
  MemberCache::Members local;
  const MemberCache::Members& members = Collect(info, cache, &local);
  const PropertyList& props = members.props;
  out.Printf("   // properties\n");
  for (const PropertyInfo& p : props.properties) {
    std::string type = JavaPropertyType(p.type, p.flags, props.interfaces);
    if (p.flags & kPropReadable)
      out.Printf("    public abstract %s get%s();\n", type.c_str(), p.name.c_str());
    if (p.flags & kPropWritable)
      out.Printf("    public abstract void set%s(%s %s);\n", p.name.c_str(), type.c_str(),
                 p.name.c_str());
  }
  out.Printf("   // methods\n");
  const std::vector<MethodInfo>& methods = members.methods;
  for (const MethodInfo& m : methods) {
    out.Printf("    public abstract %s %s(", JavaMemberType(m.result).c_str(), m.name.c_str());
    WriteParams(out, m);
    out.Printf(");\n");
  }
  out.Printf(methods.empty() ? "\n}\n" : "}\n");
  return S_OK;
}

// A class whose interface list cannot be read to its end still gets its closing lines.
HRESULT WriteClassShell(StubFile& out, ITypeInfo* info, const std::string& name, MemberCache*) {
  out.Printf("public class %s extends Object\n", name.c_str());
  ForEachInterface(info, [&](ITypeInfo*, const std::string& iface) {
    out.Printf("                /*implements %s*/\n", iface.c_str());
  });
  out.Printf("{\n}\n");
  return S_OK;
}

HRESULT WriteImplementationClass(StubFile& out, ITypeInfo* info, const std::string& name,
                                 MemberCache* cache) {
  out.Printf("class %s extends Object\n", name.c_str());
  out.Printf("{\n");
  ForEachInterface(info, [&](ITypeInfo* iface, const std::string& ifaceName) {
    out.Printf("                /*implements %s*/\n", ifaceName.c_str());
    WriteMemberBodies(out, iface, cache);
  });
  out.Printf("}\n\n");
  return S_OK;
}

const MemberCache::Members& MemberCache::Get(ITypeInfo* info) {
  ComPtr<ITypeLib> lib;
  UINT index = 0;
  TYPEATTR* attr = nullptr;
  int kind = -1;
  if (SUCCEEDED(info->GetTypeAttr(&attr))) {
    kind = attr->typekind;
    info->ReleaseTypeAttr(attr);
  }
  if (kind < 0 || FAILED(info->GetContainingTypeLib(lib.Put(), &index))) {
    CollectProperties(info, &uncached_.props);
    CollectMethods(info, true, &uncached_.methods);
    return uncached_;
  }
  auto key = std::make_tuple(lib.Get(), index, kind);
  auto it = byType_.find(key);
  if (it != byType_.end()) return it->second;
  Members& m = byType_[key];
  CollectProperties(info, &m.props);
  CollectMethods(info, true, &m.methods);
  return m;
}

HRESULT WriteInterfaceStubs(ITypeLib* lib, IStream* stream) {
  return Walk(lib, stream, WriteClassShell);
}

HRESULT WriteClassStubs(ITypeLib* lib, IStream* stream) {
  return Walk(lib, stream, WriteImplementationClass);
}

}  // namespace quarb
