#include "platform/linux/XkbRegistry.h"

#include "platform/shared/SharedLibrary.h"

#include <xkbcommon/xkbregistry.h>

#include <memory>

namespace quillon {

namespace {

constexpr const char* registryLibrary = "libxkbregistry.so.0";

// The calls the reading needs, found in the opened library.
struct Registry {
  decltype(&rxkb_context_new) contextNew = nullptr;
  decltype(&rxkb_context_parse_default_ruleset) parseDefaultRuleset = nullptr;
  decltype(&rxkb_context_unref) contextUnref = nullptr;
  decltype(&rxkb_layout_first) layoutFirst = nullptr;
  decltype(&rxkb_layout_next) layoutNext = nullptr;
  decltype(&rxkb_layout_get_name) layoutName = nullptr;
  decltype(&rxkb_layout_get_variant) layoutVariant = nullptr;
  decltype(&rxkb_layout_get_iso639_first) firstLanguage = nullptr;
  decltype(&rxkb_iso639_code_get_code) languageCode = nullptr;
};

bool resolveAll(const SharedLibrary& library, Registry& registry, std::string& error) {
  return library.find("rxkb_context_new", registry.contextNew, error) &&
         library.find("rxkb_context_parse_default_ruleset", registry.parseDefaultRuleset, error) &&
         library.find("rxkb_context_unref", registry.contextUnref, error) &&
         library.find("rxkb_layout_first", registry.layoutFirst, error) &&
         library.find("rxkb_layout_next", registry.layoutNext, error) &&
         library.find("rxkb_layout_get_name", registry.layoutName, error) &&
         library.find("rxkb_layout_get_variant", registry.layoutVariant, error) &&
         library.find("rxkb_layout_get_iso639_first", registry.firstLanguage, error) &&
         library.find("rxkb_iso639_code_get_code", registry.languageCode, error);
}

std::optional<std::string> languageOf(const Registry& registry, rxkb_context* context,
                                      const XkbLayoutName& name) {
  for (rxkb_layout* entry = registry.layoutFirst(context); entry != nullptr;
       entry = registry.layoutNext(entry)) {
    const char* layout = registry.layoutName(entry);
    const char* variant = registry.layoutVariant(entry);
    if (layout == nullptr || name.layout != layout ||
        name.variant != (variant == nullptr ? "" : variant)) {
      continue;
    }
    rxkb_iso639_code* code = registry.firstLanguage(entry);
    if (code == nullptr) {
      return std::nullopt;
    }
    return std::string(registry.languageCode(code));
  }
  return std::nullopt;
}

} // namespace

std::vector<std::optional<std::string>> registryLanguages(const std::vector<XkbLayoutName>& names,
                                                          std::string& error) {
  std::vector<std::optional<std::string>> languages(names.size());
  const auto library =
      SharedLibrary::open(registryLibrary, SharedLibrary::Unloading::Allowed, error);
  if (!library) {
    return languages;
  }
  Registry registry;
  if (!resolveAll(*library, registry, error)) {
    return languages;
  }
  const auto unref = [&registry](rxkb_context* context) { registry.contextUnref(context); };
  // Released before the library closes: the context lives in its memory.
  const std::unique_ptr<rxkb_context, decltype(unref)> context(
      registry.contextNew(RXKB_CONTEXT_NO_FLAGS), unref);
  if (!context || !registry.parseDefaultRuleset(context.get())) {
    error = "xkb's registry of layouts cannot be read";
    return languages;
  }
  for (std::size_t index = 0; index < names.size(); ++index) {
    languages[index] = languageOf(registry, context.get(), names[index]);
  }
  return languages;
}

} // namespace quillon
