// quillon-tool's speech outputs: the words of say --words, render's subtitles against the script
// of the same document, and that writing files never touches the sound server.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Output {
  int exit_code = -1;
  std::string out;
};

// Runs quillon-tool with `args`, its standard output into a file; extra environment entries first.
Output Tool(const std::vector<std::string>& args, const fs::path& dir,
            const std::vector<std::string>& environment = {}) {
  const fs::path out = dir / "tool-output.txt";
  std::vector<std::string> all = {QUILLON_TOOL};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  std::vector<std::string> env_strings = environment;
  for (char** e = environ; *e != nullptr; ++e) {
    env_strings.emplace_back(*e);
  }
  std::vector<char*> envp;
  for (std::string& e : env_strings) {
    envp.push_back(e.data());
  }
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  Output result;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  std::ifstream in(out);
  std::stringstream text;
  text << in.rdbuf();
  result.out = text.str();
  return result;
}

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) {
      lines.push_back(nlohmann::json::parse(line));
    }
  }
  return lines;
}

class ToolSpeechTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quillon-tool-speech-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A document of three chapters with dialogue, an ampersand, an abbreviation and a silence.
  fs::path Book() {
    const fs::path book = dir_ / "book.txt";
    std::ofstream out(book, std::ios::binary);
    for (const char* line :
         {"A word before the first chapter.", "", "CHAPTER 1", "",
          "\"Mary, we must go,\" Quillon said. \"They are after us &amp; the dog.\"", "",
          "CHAPTER 2", "", "They drove south at 6 a.m. and did not stop.", "Tom & Jerry waved.",
          "~~~"}) {
      out << line << "\r\n";
    }
    return book;
  }

  fs::path dir_;
};

TEST_F(ToolSpeechTest, SayWordsPrintsEachWordOnceInOrder) {
  const std::string text =
      R"(<VOICE REQUIRED="Gender=Female">Tom &amp; <emph>Mary</emph> <silence msec="500"/>left.)";
  const Output said = Tool({"say", "--wav", (dir_ / "say.wav").string(), "--words", text}, dir_);
  ASSERT_EQ(said.exit_code, 0);
  std::vector<std::string> words;
  long previous_ms = -1;
  for (const nlohmann::json& line : JsonLines(said.out)) {
    const std::string word = line["word"];
    EXPECT_EQ(text.substr(line["start"], line["length"]), word);  // ASCII: UTF-16 units are bytes
    EXPECT_GT(line["at_ms"].get<long>(), previous_ms) << word;
    previous_ms = line["at_ms"];
    words.push_back(word);
  }
  EXPECT_THAT(words, ::testing::ElementsAre("Tom", "&amp;", "Mary", "left"));
  EXPECT_GE(previous_ms, 500);  // after the silence
}

// The plain text of a sentence from the script, worked out here on its own: tags out, the
// entities the book uses decoded, white space made single.
std::string PlainText(const std::string& markup) {
  std::string text;
  for (std::size_t i = 0; i < markup.size(); ++i) {
    if (markup[i] == '<') {
      i = markup.find('>', i);
      text.push_back(' ');
      continue;
    }
    text.push_back(markup[i]);
  }
  for (const auto& [entity, character] : {std::pair<std::string, std::string>{"&amp;", "&"}}) {
    for (std::size_t at; (at = text.find(entity)) != std::string::npos;) {
      text.replace(at, entity.size(), character);
    }
  }
  std::string single;
  for (char c : text) {
    if (c == ' ' && (single.empty() || single.back() == ' ')) {
      continue;
    }
    single.push_back(c);
  }
  while (!single.empty() && single.back() == ' ') {
    single.pop_back();
  }
  return single;
}

struct Cue {
  double start, end;
  std::string text;
};

double Seconds(const std::string& stamp) {  // hh:mm:ss.mmm
  return std::stoi(stamp.substr(0, 2)) * 3600.0 + std::stoi(stamp.substr(3, 2)) * 60.0 +
         std::stod(stamp.substr(6));
}

std::vector<Cue> ReadCues(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "WEBVTT") << path;
  std::vector<Cue> cues;
  while (std::getline(in, line)) {
    if (line.find(" --> ") == std::string::npos) {
      continue;
    }
    Cue cue{Seconds(line.substr(0, 12)), Seconds(line.substr(17, 12)), {}};
    std::getline(in, cue.text);
    for (std::size_t at = 0; (at = cue.text.find("&amp;", at)) != std::string::npos; ++at) {
      cue.text.replace(at, 5, "&");
    }
    cues.push_back(cue);
  }
  return cues;
}

TEST_F(ToolSpeechTest, RenderSubtitlesFollowTheScriptAndTheAudio) {
  const fs::path book = Book();
  ASSERT_EQ(Tool({"render", book.string(), "--out", (dir_ / "out").string()}, dir_).exit_code, 0);
  const Output script = Tool({"script", book.string()}, dir_);
  ASSERT_EQ(script.exit_code, 0);
  std::vector<std::string> sentences;
  for (const nlohmann::json& line : JsonLines(script.out)) {
    if (line.contains("text")) {
      sentences.push_back(PlainText(line["text"]));
    }
  }
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir_ / "out")) {
    if (entry.path().extension() == ".wav") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 3u);
  std::vector<std::string> cue_texts;
  for (const fs::path& file : files) {
    SF_INFO info{};
    SNDFILE* audio = sf_open(file.c_str(), SFM_READ, &info);
    ASSERT_NE(audio, nullptr) << file;
    sf_close(audio);
    const double length = static_cast<double>(info.frames) / info.samplerate;
    const std::vector<Cue> cues = ReadCues(fs::path(file).replace_extension(".vtt"));
    ASSERT_FALSE(cues.empty()) << file;
    double previous_end = 0;
    for (const Cue& cue : cues) {
      EXPECT_GE(cue.start, previous_end) << cue.text;
      EXPECT_GT(cue.end, cue.start) << cue.text;
      EXPECT_LE(cue.end, length + 0.0005) << cue.text;
      previous_end = cue.end;
      cue_texts.push_back(cue.text);
    }
  }
  // One cue per sentence spoken, showing it as the book writes it.
  EXPECT_EQ(cue_texts.size(), sentences.size());
  EXPECT_EQ(cue_texts, (std::vector<std::string>{
                           "A word before the first chapter.", "CHAPTER 1", "\"Mary, we must go,\"",
                           "Quillon said.", "\"They are after us &amp; the dog.\"", "CHAPTER 2",
                           "They drove south at 6 a.m. and did not stop.", "Tom & Jerry waved."}));
}

// The sound server PULSE_SERVER names is a socket this test listens on: no connection may come.
TEST_F(ToolSpeechTest, WritingFilesNeverTouchesTheSoundServer) {
  const fs::path socket_path = dir_ / "native";
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 8), 0);
  const std::vector<std::string> environment = {"PULSE_SERVER=unix:" + socket_path.string()};
  EXPECT_EQ(
      Tool({"say", "--wav", (dir_ / "x.wav").string(), "Hello."}, dir_, environment).exit_code, 0);
  EXPECT_EQ(Tool({"render", Book().string(), "--out", (dir_ / "out").string()}, dir_, environment)
                .exit_code,
            0);
  for (const char* book : {"epub", "m4b"}) {
    EXPECT_EQ(Tool({"render", Book().string(), "--out", (dir_ / book).string(), "--format", book},
                   dir_, environment)
                  .exit_code,
              0);
  }
  const int connection = accept(listener, nullptr, nullptr);
  EXPECT_LT(connection, 0) << "a tool that writes files connected to the sound server";
  if (connection >= 0) {
    close(connection);
  }
  close(listener);
}

// The frames of every audio file in a folder, together.
sf_count_t FramesIn(const fs::path& folder) {
  sf_count_t frames = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    SF_INFO info{};
    if (SNDFILE* audio = sf_open(entry.path().c_str(), SFM_READ, &info)) {
      frames += info.frames;
      sf_close(audio);
    }
  }
  return frames;
}

TEST_F(ToolSpeechTest, SayAndRenderReadAtTheSpeedAsked) {
  std::vector<double> said;
  std::vector<double> rendered;
  for (const char* speed : {"1", "2"}) {
    const fs::path folder = dir_ / (std::string("speed-") + speed);
    fs::create_directories(folder / "book");
    ASSERT_EQ(Tool({"say", "--speed", speed, "--wav", (folder / "say.wav").string(),
                    "We drove along the dusty road, and nobody said a single word."},
                   dir_)
                  .exit_code,
              0);
    said.push_back(static_cast<double>(FramesIn(folder)));
    ASSERT_EQ(
        Tool({"render", Book().string(), "--speed", speed, "--out", (folder / "book").string()},
             dir_)
            .exit_code,
        0);
    rendered.push_back(static_cast<double>(FramesIn(folder / "book")));
  }
  // Twice as fast: half as long; a book of short sentences a little more, as espeak-ng's pause
  // after each sentence shrinks less than its words.
  EXPECT_NEAR(said[1] / said[0], 0.5, 0.05);
  EXPECT_GT(rendered[1] / rendered[0], 0.45);
  EXPECT_LT(rendered[1] / rendered[0], 0.65);
  // Outside the range: a bad option.
  EXPECT_EQ(
      Tool({"say", "--speed", "4", "--wav", (dir_ / "x.wav").string(), "Hi."}, dir_).exit_code, 64);
}

}  // namespace
