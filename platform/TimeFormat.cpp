#include "platform/TimeFormat.h"

#include <QLocale>
#include <QString>
#include <QTime>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ProcessWide.h"

namespace platform {

namespace {

const QString kFallbackPattern = QStringLiteral("H:mm");

QString DropSeconds(const QString& pattern) {
  struct Token {
    QString text;
    bool field;
  };
  std::vector<Token> tokens;
  for (qsizetype i = 0; i < pattern.size();) {
    const QChar c = pattern[i];
    qsizetype j = i + 1;
    if (c == u'\'') {
      while (j < pattern.size() && pattern[j] != u'\'') ++j;
      j = std::min(j + 1, pattern.size());
    } else if (c.isLetter()) {
      while (j < pattern.size() && pattern[j] == c) ++j;
    } else {
      while (j < pattern.size() && !pattern[j].isLetter() && pattern[j] != u'\'') ++j;
    }
    tokens.push_back({pattern.mid(i, j - i), c.isLetter()});
    i = j;
  }
  QString out;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const bool seconds = tokens[k].field && (tokens[k].text[0] == u's' || tokens[k].text[0] == u'z');
    const bool beforeSeconds = !tokens[k].field && k + 1 < tokens.size() && tokens[k + 1].field &&
                               (tokens[k + 1].text[0] == u's' || tokens[k + 1].text[0] == u'z');
    if (!seconds && !beforeSeconds) out += tokens[k].text;
  }
  return out;
}

struct Formatter {
  QLocale locale;
  QString pattern;
};

std::shared_ptr<const Formatter> MakeFormatter(const std::string& name) {
  auto f = std::make_shared<Formatter>();
  f->locale = QLocale::c();
  f->pattern = kFallbackPattern;
  if (name.empty()) return f;
  QLocale locale(QString::fromStdString(name));
  if (locale.language() == QLocale::C) return f;  // "C", "POSIX" and names the tables do not know
  f->locale = locale;
  f->pattern = DropSeconds(locale.timeFormat(QLocale::ShortFormat));
  return f;
}

std::shared_ptr<const Formatter> FormatterFor(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<const Formatter>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto& slot = cache[name];
  if (!slot) slot = MakeFormatter(name);
  return slot;
}

using Format = std::shared_ptr<const std::function<std::string(const LocalTime&)>>;

ProcessWide<Format>& ReplacedFormat() {
  static ProcessWide<Format> format;
  return format;
}

const std::string& EnvironmentLocale() {
  static const std::string name = TimeLocaleName(std::getenv("LC_ALL"), std::getenv("LC_TIME"), std::getenv("LANG"));
  return name;
}

}  // namespace

std::string TimeLocaleName(const char* lcAll, const char* lcTime, const char* lang) {
  for (const char* v : {lcAll, lcTime, lang})
    if (v && *v) return v;
  return {};
}

std::string WithoutSeconds(const std::string& pattern) {
  return DropSeconds(QString::fromStdString(pattern)).toStdString();
}

std::string FormatShortTime(const std::string& locale, const LocalTime& t) {
  const std::shared_ptr<const Formatter> f = FormatterFor(locale);
  // A copy per call: QLocale is reentrant, not shared across threads.
  const QLocale l = f->locale;
  QString text = l.toString(QTime(t.hour, t.minute, t.second), f->pattern);
  text.replace(QChar(0x00A0), u' ').replace(QChar(0x202F), u' ');
  return text.toStdString();
}

std::string FormatShortTime(const LocalTime& t) {
  if (Format replaced = ReplacedFormat().Get()) return (*replaced)(t);
  return FormatShortTime(EnvironmentLocale(), t);
}

void SetShortTimeFormatter(std::function<std::string(const LocalTime&)> format) {
  ReplacedFormat().Set(format ? std::make_shared<const std::function<std::string(const LocalTime&)>>(std::move(format))
                              : nullptr);
}

}  // namespace platform
