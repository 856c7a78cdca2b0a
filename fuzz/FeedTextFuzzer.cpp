// The clean-up routines: entities, CDATA markers, control bytes.
#include "fuzz/FeedCheck.h"
#include "online/FeedText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = FuzzText(data, size);

  const std::string decoded = online::DecodeEntities(text);
  FuzzRequire(decoded.size() <= text.size());  // every replacement is shorter than its entity
  FuzzRequire(NoControlBytes(decoded));
  if (text.find('&') == std::string::npos) FuzzRequire(decoded.size() == text.size());

  const std::string cleaned = online::CleanFeedText(text);
  FuzzRequire(cleaned.size() <= text.size());
  // The steps run in order: a quote split by CDATA markers survives them.
  if (text.find('<') == std::string::npos && text.find(']') == std::string::npos)
    FuzzRequire(cleaned.find("\xE2\x80\x99") == std::string::npos);
  FuzzRequire(NoControlBytes(online::DecodeEntities(online::DecodeEntities(cleaned))));

  std::string before, name, rest;
  if (online::ParseEntity(text, before, name, rest)) {
    FuzzRequire(before + "&" + name + ";" + rest == text);
    FuzzRequire(before.find('&') == std::string::npos && name.find(';') == std::string::npos);
  } else {
    FuzzRequire(rest == text);
  }
  return 0;
}
