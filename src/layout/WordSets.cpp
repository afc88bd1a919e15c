#include "layout/WordSets.h"

#include <array>

namespace quillon {
namespace {

constexpr std::array<std::string_view, 79> kEnglishKnownWords{
    "a",   "i",   "an",  "as",  "at",  "be",  "by",  "do",  "go",  "he",  "hi",  "if",
    "in",  "is",  "it",  "me",  "my",  "no",  "of",  "oh",  "on",  "or",  "ok",  "so",
    "to",  "up",  "us",  "we",  "ya",  "id",  "im",  "ad",  "am",  "bi",  "the", "and",
    "you", "for", "are", "but", "not", "all", "any", "can", "had", "has", "her", "him",
    "his", "how", "its", "may", "new", "now", "old", "one", "our", "out", "see", "she",
    "two", "who", "why", "yes", "yet", "way", "use", "was", "got", "did", "let", "ago",
    "off", "via", "yep", "hey", "hmm", "huh", "lol",
};

constexpr std::array<std::string_view, 163> kRussianKnownWords{
    "я",       "в",       "к",       "с",       "у",       "о",      "и",      "а",       "б",
    "ж",       "да",      "не",      "но",      "на",      "по",     "во",     "до",      "за",
    "об",      "от",      "из",      "со",      "ко",      "то",     "ты",     "мы",      "вы",
    "он",      "ли",      "уж",      "же",      "ну",      "ах",     "эх",     "ой",      "ох",
    "ух",      "ка",      "бы",      "ее",      "ей",      "им",     "их",     "ия",      "ея",
    "ыл",      "аж",      "эй",      "хм",      "ха",      "фу",     "ба",     "ню",      "юг",
    "юр",      "что",     "как",     "это",     "тот",     "его",    "ему",    "она",     "они",
    "оно",     "еще",     "ещё",     "вот",     "там",     "так",    "уже",    "был",     "век",
    "год",     "вид",     "вес",     "лет",     "мой",     "наш",    "ваш",    "при",     "под",
    "над",     "без",     "для",     "три",     "две",     "сам",    "сей",    "тут",     "тех",
    "тем",     "нет",     "пол",     "сих",     "ним",     "них",    "час",    "бог",     "дом",
    "мир",     "имя",     "лес",     "сын",     "сон",     "сад",    "дня",    "дни",     "тоже",
    "если",    "когда",   "потом",   "очень",   "тогда",   "чтобы",  "более",  "шифт",    "клуб",
    "дуб",     "зуб",     "гриб",    "хлеб",    "боб",     "лоб",    "столб",  "клубы",   "дубы",
    "зубы",    "грибы",   "лбы",     "столбы",  "пою",     "мою",    "рою",    "крою",    "стою",
    "сею",     "лью",     "пью",     "бью",     "даю",     "знаю",   "делаю",  "думаю",   "читаю",
    "понимаю", "мин",     "минут",   "минута",  "минуту",  "минуты", "минуте", "минутой", "сек",
    "секунд",  "секунда", "секунду", "секунды", "секунде", "часа",   "часов",  "часу",    "часам",
    "часами",
};

constexpr std::array<std::string_view, 442> kEnglishTechWords{
    "http",       "https",        "ftp",
    "ssh",        "scp",          "git",
    "svn",        "npm",          "pip",
    "www",        "com",          "org",
    "net",        "io",           "ru",
    "edu",        "gov",          "html",
    "css",        "js",           "ts",
    "jsx",        "tsx",          "json",
    "yaml",       "xml",          "url",
    "uri",        "api",          "sdk",
    "ide",        "cli",          "gui",
    "ui",         "ux",           "sql",
    "tcp",        "udp",          "ip",
    "dns",        "ssl",          "tls",
    "vpn",        "vps",          "cpu",
    "gpu",        "ram",          "ssd",
    "hdd",        "os",           "mac",
    "ios",        "aws",          "gcp",
    "k8s",        "ci",           "cd",
    "qa",         "pr",           "rfc",
    "uuid",       "mc",           "jpg",
    "jpeg",       "png",          "gif",
    "svg",        "webp",         "heic",
    "heif",       "bmp",          "ico",
    "tif",        "tiff",         "raw",
    "mp3",        "mp4",          "wav",
    "flac",       "ogg",          "aac",
    "opus",       "mkv",          "mov",
    "avi",        "webm",         "wmv",
    "flv",        "pdf",          "txt",
    "rtf",        "doc",          "docx",
    "xls",        "xlsx",         "ppt",
    "pptx",       "csv",          "tsv",
    "log",        "epub",         "mobi",
    "djvu",       "pkg",          "dmg",
    "app",        "exe",          "zip",
    "tar",        "iso",          "deb",
    "rpm",        "tgz",          "gz",
    "xz",         "rar",          "bin",
    "src",        "lib",          "bak",
    "tmp",        "cfg",          "ini",
    "yml",        "toml",         "env",
    "md",         "sh",           "py",
    "go",         "rs",           "c",
    "h",          "cpp",          "swift",
    "vue",        "scss",         "sass",
    "wasm",       "lock",         "woff",
    "ttf",        "otf",          "f1",
    "f2",         "f3",           "f4",
    "f5",         "f6",           "f7",
    "f8",         "f9",           "f10",
    "f11",        "f12",          "f13",
    "f14",        "f15",          "f16",
    "f17",        "f18",          "f19",
    "f20",        "f21",          "f22",
    "f23",        "f24",          "enter",
    "return",     "space",        "tab",
    "shift",      "ctrl",         "control",
    "alt",        "option",       "cmd",
    "command",    "win",          "fn",
    "esc",        "escape",       "delete",
    "del",        "backspace",    "capslock",
    "insert",     "ins",          "home",
    "pgup",       "pgdn",         "pageup",
    "pagedown",   "click",        "tap",
    "select",     "open",         "close",
    "save",       "edit",         "view",
    "share",      "send",         "sent",
    "receive",    "reply",        "forward",
    "copy",       "paste",        "cut",
    "undo",       "redo",         "exit",
    "search",     "find",         "filter",
    "sort",       "refresh",      "reload",
    "retry",      "skip",         "next",
    "prev",       "previous",     "back",
    "start",      "stop",         "pause",
    "resume",     "play",         "finish",
    "complete",   "submit",       "confirm",
    "deny",       "agree",        "accept",
    "decline",    "create",       "add",
    "remove",     "update",       "login",
    "logout",     "signup",       "signin",
    "signout",    "register",     "password",
    "passcode",   "pin",          "user",
    "users",      "username",     "email",
    "mail",       "inbox",        "outbox",
    "spam",       "trash",        "draft",
    "drafts",     "profile",      "account",
    "name",       "phone",        "address",
    "settings",   "preferences",  "security",
    "privacy",    "screen",       "screens",
    "screenshot", "screenshots",  "video",
    "videos",     "audio",        "music",
    "song",       "songs",        "playlist",
    "image",      "images",       "photo",
    "photos",     "picture",      "pictures",
    "voice",      "call",         "calls",
    "record",     "recording",    "recordings",
    "docs",       "document",     "documents",
    "page",       "pages",        "link",
    "links",      "file",         "files",
    "folder",     "folders",      "window",
    "windows",    "menu",         "menus",
    "icon",       "icons",        "button",
    "buttons",    "tabs",         "list",
    "item",       "items",        "header",
    "footer",     "sidebar",      "panel",
    "dialog",     "popup",        "modal",
    "toast",      "notification", "notifications",
    "alert",      "alerts",       "chat",
    "chats",      "message",      "messages",
    "msg",        "msgs",         "group",
    "groups",     "channel",      "channels",
    "post",       "posts",        "like",
    "likes",      "comment",      "comments",
    "story",      "stories",      "feed",
    "follow",     "follower",     "followers",
    "online",     "offline",      "busy",
    "away",       "available",    "active",
    "inactive",   "status",       "mute",
    "unmute",     "on",           "off",
    "loading",    "error",        "warning",
    "success",    "info",         "ok",
    "cancel",     "yes",          "no",
    "done",       "system",       "browser",
    "device",     "devices",      "ubuntu",
    "debian",     "fedora",       "centos",
    "arch",       "kali",         "manjaro",
    "mint",       "suse",         "redhat",
    "rhel",       "alpine",       "gentoo",
    "rocky",      "linux",        "unix",
    "bsd",        "freebsd",      "openbsd",
    "android",    "macos",        "osx",
    "docker",     "kubernetes",   "helm",
    "nginx",      "apache",       "redis",
    "mongo",      "mongodb",      "postgres",
    "postgresql", "mysql",        "sqlite",
    "memcached",  "grafana",      "kibana",
    "elastic",    "kafka",        "rabbit",
    "vault",      "consul",       "terraform",
    "ansible",    "puppet",       "chef",
    "jenkins",    "gitlab",       "github",
    "bitbucket",  "vscode",       "xcode",
    "vim",        "emacs",        "nano",
    "tmux",       "zsh",          "bash",
    "fish",       "curl",         "wget",
    "rsync",      "homebrew",     "brew",
    "macports",
};

template <std::size_t N> StringSet makeSet(const std::array<std::string_view, N>& words) {
  StringSet set;
  set.reserve(N);
  for (const std::string_view entry : words) {
    set.emplace(entry);
  }
  return set;
}

} // namespace

const StringSet& englishKnownWords() {
  static const StringSet words = makeSet(kEnglishKnownWords);
  return words;
}

const StringSet& russianKnownWords() {
  static const StringSet words = makeSet(kRussianKnownWords);
  return words;
}

const StringSet& englishTechWords() {
  static const StringSet words = makeSet(kEnglishTechWords);
  return words;
}

} // namespace quillon
