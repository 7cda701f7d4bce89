// Scripted input: the line parser and the player (see InputScript.h for the
// format). The parser reads each line once, left to right, with every length
// and number checked, so bad input ends in an error for its line.
#include "mac/platform/InputScript.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>

#include "mac/platform/Desktop.h"
#include "mac/platform/Events.h"
#include "mac/platform/Utf8.h"
#include "mac/platform/Window.h"

namespace kw {

namespace {

constexpr size_t kMaxLineBytes = 4096;
constexpr std::uintmax_t kMaxScriptBytes = 16u * 1024 * 1024;
constexpr double kMaxTime = 1000000;
constexpr double kMaxCoordinate = 1000000;

struct Word {
  std::string text;
  bool quoted = false;
};

// A parse failure of the current line.
struct LineError {
  std::string message;
};

std::string quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

// "\u{HEX}" at line[i] (just after the backslash-u); moves i past the "}".
uint32_t readCodePoint(std::string_view line, size_t& i) {
  const LineError bad{"bad \\u{HEX} escape in quoted text"};
  if (i >= line.size() || line[i] != '{') throw bad;
  const size_t close = line.find('}', i);
  if (close == std::string_view::npos || close == i + 1 || close - i - 1 > 6) throw bad;
  uint32_t value = 0;
  const auto digits = line.substr(i + 1, close - i - 1);
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || end != digits.data() + digits.size()) throw bad;
  if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) throw bad;
  i = close + 1;
  return value;
}

// Splits a line into words: bare words, quoted texts; a word starting with
// '#' ends the line.
std::vector<Word> splitWords(std::string_view line) {
  std::vector<Word> words;
  size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] == '#') return words;
    Word word;
    if (line[i] != '"') {
      const size_t end = line.find_first_of(" \t", i);
      word.text = line.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
      i = end == std::string_view::npos ? line.size() : end;
      words.push_back(std::move(word));
      continue;
    }
    word.quoted = true;
    ++i;
    while (true) {
      if (i >= line.size()) throw LineError{"unterminated quoted text"};
      const char c = line[i++];
      if (c == '"') break;
      if (c != '\\') {
        word.text += c;
        continue;
      }
      if (i >= line.size()) throw LineError{"unterminated quoted text"};
      const char e = line[i++];
      switch (e) {
        case '"': word.text += '"'; break;
        case '\\': word.text += '\\'; break;
        case 'n': word.text += '\n'; break;
        case 'r': word.text += '\r'; break;
        case 't': word.text += '\t'; break;
        case 'u': appendUtf8(word.text, readCodePoint(line, i)); break;
        default: throw LineError{"bad escape \\" + std::string(1, e) + " in quoted text"};
      }
    }
    if (i < line.size() && line[i] != ' ' && line[i] != '\t') throw LineError{"a space must follow quoted text"};
    words.push_back(std::move(word));
  }
}

std::optional<double> parseNumber(std::string_view text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The words after the verb, taken one at a time.
class Arguments {
 public:
  Arguments(const std::string& verb, std::vector<Word> words) : verb_(verb), words_(std::move(words)) {}

  bool empty() const { return next_ >= words_.size(); }
  const Word& take(const char* name) {
    if (empty()) throw LineError{verb_ + ": missing " + name};
    return words_[next_++];
  }
  double number(const char* name, double low, double high) {
    const Word& word = take(name);
    const auto value = word.quoted ? std::nullopt : parseNumber(word.text);
    if (!value || *value < low || *value > high) {
      throw LineError{verb_ + ": " + name + " must be a number from " + format(low) + " to " + format(high) + ", not " +
                      quote(word.text)};
    }
    return *value;
  }
  uint16_t keyCode() {
    const Word& word = take("CODE");
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(word.text.data(), word.text.data() + word.text.size(), value);
    if (word.quoted || ec != std::errc() || end != word.text.data() + word.text.size() || value > 65535) {
      throw LineError{verb_ + ": CODE must be a whole number from 0 to 65535, not " + quote(word.text)};
    }
    return static_cast<uint16_t>(value);
  }
  DesktopPoint point() {
    const double x = number("X", -kMaxCoordinate, kMaxCoordinate);
    const double y = number("Y", -kMaxCoordinate, kMaxCoordinate);
    return {x, y};
  }
  uint32_t modifiers() {
    const Word& word = take("MODS");
    if (word.text == "none") return 0;
    static const std::map<std::string, uint32_t, std::less<>> kNames{{"shift", kDesktopShift},
                                                                     {"control", kDesktopControl},
                                                                     {"option", kDesktopOption},
                                                                     {"command", kDesktopCommand},
                                                                     {"capslock", kDesktopCapsLock}};
    uint32_t flags = 0;
    std::string_view rest = word.text;
    while (true) {
      const size_t comma = rest.find(',');
      const std::string_view name = rest.substr(0, comma);
      const auto found = kNames.find(name);
      if (found == kNames.end()) throw LineError{verb_ + ": unknown modifier " + quote(name)};
      flags |= found->second;
      if (comma == std::string_view::npos) return flags;
      rest.remove_prefix(comma + 1);
    }
  }
  void finish() {
    if (!empty()) throw LineError{verb_ + ": unexpected " + quote(words_[next_].text)};
  }

 private:
  static std::string format(double value) { return std::to_string(static_cast<int64_t>(value)); }

  std::string verb_;
  std::vector<Word> words_;
  size_t next_ = 0;
};

const std::map<std::string, ScriptVerb, std::less<>>& verbs() {
  static const std::map<std::string, ScriptVerb, std::less<>> kVerbs{
      {"move", ScriptVerb::Move},   {"down", ScriptVerb::Down},
      {"drag", ScriptVerb::Drag},   {"up", ScriptVerb::Up},
      {"key", ScriptVerb::Key},     {"keyup", ScriptVerb::KeyUp},
      {"flags", ScriptVerb::Flags}, {"scroll", ScriptVerb::Scroll},
      {"edit", ScriptVerb::Edit},   {"dropfiles", ScriptVerb::DropFiles},
      {"menu", ScriptVerb::Menu},   {"open", ScriptVerb::Open},
      {"save", ScriptVerb::Save},   {"close", ScriptVerb::Close},
      {"quit", ScriptVerb::Quit}};
  return kVerbs;
}

double parseTime(const Word& word, double previous) {
  const LineError bad{"the time must be a number of seconds from 0 to 1000000 (or +SECONDS), not " + quote(word.text)};
  if (word.quoted) throw bad;
  const bool relative = !word.text.empty() && word.text[0] == '+';
  const auto value = parseNumber(relative ? std::string_view(word.text).substr(1) : std::string_view(word.text));
  if (!value || *value < 0) throw bad;
  const double time = relative ? previous + *value : *value;
  if (time > kMaxTime) throw bad;
  return time;
}

// The event of a line's words (at least one).
ScriptedEvent parseLine(std::vector<Word> words, double previousTime) {
  ScriptedEvent event;
  event.time = parseTime(words[0], previousTime);
  if (words.size() < 2) throw LineError{"missing verb after the time"};
  const std::string verbName = words[1].text;
  const auto found = verbs().find(verbName);
  if (words[1].quoted || found == verbs().end()) throw LineError{"unknown verb " + quote(verbName)};
  event.verb = found->second;
  words.erase(words.begin(), words.begin() + 2);
  Arguments args(verbName, std::move(words));

  switch (event.verb) {
    case ScriptVerb::Move:
    case ScriptVerb::Drag:
    case ScriptVerb::Up: event.point = args.point(); break;
    case ScriptVerb::Down:
      event.point = args.point();
      if (!args.empty()) {
        const Word& button = args.take("BUTTON");
        if (button.text == "right") {
          event.button = 1;
        } else if (button.text != "left") {
          throw LineError{"down: the button must be left or right, not " + quote(button.text)};
        }
      }
      break;
    case ScriptVerb::Key:
    case ScriptVerb::KeyUp:
      event.keyCode = args.keyCode();
      event.characters = args.take("TEXT").text;
      if (!args.empty()) event.modifierFlags = args.modifiers();
      break;
    case ScriptVerb::Flags: event.modifierFlags = args.modifiers(); break;
    case ScriptVerb::Scroll:
      event.point = args.point();
      event.delta = args.number("DELTA", -kMaxCoordinate, kMaxCoordinate);
      break;
    case ScriptVerb::Edit: {
      event.action = args.take("ACTION").text;
      if (event.action != "cut" && event.action != "copy" && event.action != "paste" && event.action != "selectAll") {
        throw LineError{"edit: ACTION must be cut, copy, paste or selectAll, not " + quote(event.action)};
      }
      break;
    }
    case ScriptVerb::DropFiles:
      event.point = args.point();
      event.paths.push_back(args.take("PATH").text);
      while (!args.empty()) event.paths.push_back(args.take("PATH").text);
      break;
    case ScriptVerb::Menu:
      if (!args.empty()) event.title = args.take("TITLE").text;
      break;
    case ScriptVerb::Open:
      while (!args.empty()) event.paths.push_back(args.take("PATH").text);
      break;
    case ScriptVerb::Save:
      if (!args.empty()) event.paths.push_back(args.take("PATH").text);
      break;
    case ScriptVerb::Close:
    case ScriptVerb::Quit: break;
  }
  args.finish();
  return event;
}

}  // namespace

std::string InputScriptError::describe() const {
  return line == 0 ? message : "line " + std::to_string(line) + ": " + message;
}

InputScript parseInputScript(std::string_view text) {
  InputScript script;
  double previousTime = 0;
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    try {
      if (line.size() > kMaxLineBytes) {
        throw LineError{"line too long (more than " + std::to_string(kMaxLineBytes) + " bytes)"};
      }
      std::vector<Word> words = splitWords(line);
      if (words.empty()) continue;
      ScriptedEvent event = parseLine(std::move(words), previousTime);
      event.line = lineNumber;
      previousTime = event.time;
      script.events.push_back(std::move(event));
    } catch (const LineError& error) {
      script.events.clear();
      script.error = InputScriptError{lineNumber, error.message};
      return script;
    }
  }
  return script;
}

InputScript readInputScript(const std::filesystem::path& path) {
  InputScript script;
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size > kMaxScriptBytes) {
    script.error = InputScriptError{0, error ? "cannot read the input script " + path.string()
                                             : "the input script " + path.string() + " is larger than 16 MiB"};
    return script;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    script.error = InputScriptError{0, "cannot read the input script " + path.string()};
    return script;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parseInputScript(text);
}

DesktopPoint screenPointFromGlobal(const Desktop& desktop, DesktopPoint global) {
  const DesktopRect main = desktop.mainScreenFrame();
  return {main.minX() + global.x, main.maxY() - global.y};
}

void performScriptedEvent(Desktop& desktop, const ScriptedEvent& event) {
  const DesktopPoint point = screenPointFromGlobal(desktop, event.point);
  switch (event.verb) {
    case ScriptVerb::Move: desktop.moveMouse(point); break;
    case ScriptVerb::Down: desktop.pressMouse(point, event.button); break;
    case ScriptVerb::Drag: desktop.dragMouse(point); break;
    case ScriptVerb::Up: desktop.releaseMouse(point); break;
    case ScriptVerb::Key: desktop.pressKey(event.keyCode, event.characters, event.modifierFlags); break;
    case ScriptVerb::KeyUp: desktop.releaseKey(event.keyCode, event.characters, event.modifierFlags); break;
    case ScriptVerb::Flags: desktop.setModifierFlags(event.modifierFlags); break;
    case ScriptVerb::Scroll: desktop.scroll(point, event.delta); break;
    case ScriptVerb::Edit: desktop.sendEditAction(event.action); break;
    case ScriptVerb::DropFiles:
      desktop.dragFilesOver(point, event.paths);
      desktop.dropFiles(point);
      break;
    case ScriptVerb::Menu: desktop.menuChoices.push_back(event.title); break;
    case ScriptVerb::Open:
      if (event.paths.empty()) {
        desktop.openPanelAnswers.emplace_back(std::nullopt);
      } else {
        desktop.openPanelAnswers.emplace_back(event.paths);
      }
      break;
    case ScriptVerb::Save:
      if (event.paths.empty()) {
        desktop.savePanelAnswers.emplace_back(std::nullopt);
      } else {
        desktop.savePanelAnswers.emplace_back(event.paths.front());
      }
      break;
    case ScriptVerb::Close:
      if (Window* key = desktop.keyWindow()) key->performClose();
      break;
    case ScriptVerb::Quit: desktop.terminate(); break;
  }
}

std::vector<RunLoop::TimerId> scheduleInputScript(RunLoop& runLoop, Desktop& desktop,
                                                  const std::vector<ScriptedEvent>& events) {
  // The loop fires timers in due order and equal due times in the order they
  // were scheduled, so scheduling in line order plays the events as written.
  std::vector<RunLoop::TimerId> timers;
  timers.reserve(events.size());
  for (const ScriptedEvent& event : events) {
    timers.push_back(
        runLoop.performAfterDelay(event.time, [&desktop, event] { performScriptedEvent(desktop, event); }));
  }
  return timers;
}

}  // namespace kw
