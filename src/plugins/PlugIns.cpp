// Loading, calling and unloading plug-in libraries, and the call-backs they
// get. Foreign code runs here: every pointer it hands back is checked, texts
// it returns are copied at once, and a call-back made from another thread
// than the interface thread is ignored (variables and widgets are never
// touched from elsewhere).
#include "plugins/PlugIns.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "actions/CommandTable.h"
#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "pages/RT_Main.h"
#include "platform/WinPath.h"
#include "plugins/PlugInEffects.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"
#include "vellion/plugin.h"
#include "windows/DialogSettings.h"
#include "windows/UserDialog.h"

namespace vl {
namespace {

// One loaded library, shared by its command group and the event list.
struct TPlugIn {
  AnsiString name;
  AnsiString path;
  void* handle = nullptr;
  VlExecActionFn exec = nullptr;
  VlMessageFn message = nullptr;
  VlRenderEffectExFn renderEx = nullptr;
  VlRenderEffectFn render = nullptr;
  bool alive = true;
};

std::vector<std::shared_ptr<TPlugIn>>& Loaded() {
  static std::vector<std::shared_ptr<TPlugIn>> list;
  return list;
}

// The group that AddAction and AddEffect register into: set only while a
// plug-in is being loaded.
ActionGroup* gRegistering = nullptr;
std::shared_ptr<TPlugIn> gRegisteringPlugIn;

// The thread that runs the program's start: the interface thread when no
// application object exists (tools and tests that load plug-ins).
const std::thread::id kStartThread = std::this_thread::get_id();

bool OnInterfaceThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app ? QThread::currentThread() == app->thread() : std::this_thread::get_id() == kStartThread;
}

// Looks `name` up as written, then with a leading underscore.
void* Entry(void* handle, const char* name) {
  if (void* p = ::dlsym(handle, name)) return p;
  const std::string decorated = std::string("_") + name;
  return ::dlsym(handle, decorated.c_str());
}

AnsiString TakeText(char*& p) {
  AnsiString s = p ? AnsiString(p) : AnsiString();
  std::free(p);
  p = nullptr;
  return s;
}

// The error box of the player: the application's title and one OK button.
void ShowPlugInError(const AnsiString& text) {
  const DialogSettings& s = TheDialogSettings();
  QueryDialog(s.appTitle, text, s.okText, AnsiString(), "error");
}

void Unload(const std::shared_ptr<TPlugIn>& p) {
  if (!p->alive) return;
  p->alive = false;
  RemovePlugInEffects(p->name);
  auto& list = Loaded();
  list.erase(std::remove(list.begin(), list.end(), p), list.end());
  if (p->handle) ::dlclose(p->handle);
  p->handle = nullptr;
}

// Restores the current folder when loading ends.
class CurrentFolderGuard {
 public:
  explicit CurrentFolderGuard(const std::string& folder) {
    if (char* cwd = ::getcwd(nullptr, 0)) {
      old_ = cwd;
      std::free(cwd);
    }
    changed_ = !folder.empty() && ::chdir(folder.c_str()) == 0;
  }
  ~CurrentFolderGuard() {
    if (changed_ && !old_.empty() && ::chdir(old_.c_str()) != 0) {
    }
  }

 private:
  std::string old_;
  bool changed_ = false;
};

// --- call-backs (C linkage: the plug-in calls them with its own convention)

extern "C" void CbAddAction(int32_t id, const char* name, const char* hint, const uint8_t* kinds, int32_t kindsHigh,
                            int32_t count) {
  (void)hint;
  if (!OnInterfaceThread() || !gRegistering || id == 0 || !name) return;
  AnsiString word;
  for (const char* c = name; *c; ++c)
    if (*c != ' ') word.push_back(*c);
  if (word.empty()) return;
  count = std::clamp<int32_t>(count, 0, kMaxArgs);
  uint8_t k[kMaxArgs] = {};
  for (int32_t i = 0; i < count; ++i)
    if (kinds && i <= kindsHigh) k[i] = kinds[i];
  CommandTable().RegisterCommand(*gRegistering, id, word, k, count, count);
}

extern "C" void CbReserved(intptr_t, intptr_t) {}

extern "C" void CbGetVariable(const char* name, char** value) { plugin_callbacks::GetVariable(name, value); }
extern "C" void CbSetVariable(const char* name, const char* value) { plugin_callbacks::SetVariable(name, value); }
extern "C" void CbRunActionText(const char* action) { plugin_callbacks::RunActionText(action); }
extern "C" uint8_t CbInterfaceAccess(int32_t code, char** text) { return plugin_callbacks::InterfaceAccess(code, text); }
extern "C" uint8_t CbStreamAccess(const char* fileName, int32_t* fd) {
  return plugin_callbacks::StreamAccess(fileName, fd);
}

VlImage Surface(QImage& img) {
  return VlImage{img.width(), img.height(), static_cast<int32_t>(img.bytesPerLine()), img.bits()};
}

extern "C" void CbAddEffect(int32_t number, const char* name) {
  if (!OnInterfaceThread() || !gRegistering || !name || !*name) return;
  CommandTable().RegisterEffect(*gRegistering, number, name);
  PlugInEffect e;
  e.name = name;
  e.number = number;
  e.plugIn = gRegistering->name;
  std::weak_ptr<TPlugIn> weak = gRegisteringPlugIn;
  e.render = [weak, number](const QImage* old, const QImage& fresh, QImage& target, const QRect& r, int direction,
                            const AnsiString& options) -> bool {
    auto p = weak.lock();
    if (!p || !p->alive || (!p->renderEx && !p->render)) return false;
    QImage o = old ? old->convertToFormat(QImage::Format_ARGB32) : QImage();
    QImage n = fresh.convertToFormat(QImage::Format_ARGB32);
    if (target.format() != QImage::Format_ARGB32) target = target.convertToFormat(QImage::Format_ARGB32);
    VlImage vo = Surface(o), vn = Surface(n), vt = Surface(target);
    char* opts = PlugInText(options);
    uint8_t drawn;
    if (p->renderEx)
      drawn = p->renderEx(number, old ? &vo : nullptr, &vn, &vt, r.left(), r.top(), r.right() + 1, r.bottom() + 1,
                          direction, opts);
    else
      drawn = p->render(number, &vn, &vt, r.left(), r.top(), r.right() + 1, r.bottom() + 1, opts);
    std::free(opts);
    return drawn != 0;
  };
  AddPlugInEffect(std::move(e));
}

// Runs plug-in command `rec`: packaged files become real files, each
// argument a copy the plug-in may read during the call.
void RunPlugInCommand(const std::shared_ptr<TPlugIn>& p, CommandContext& c, const ActionRecord& rec) {
  if (!p->alive || !p->exec) return;
  char* args[kMaxArgs] = {};
  const int n = std::min<int>(rec.maxArgs, kMaxArgs);
  TPackage& pkg = ThePackage();
  for (int i = 1; i <= n; ++i) {
    AnsiString a = c.Arg(i);
    const uint8_t kind = rec.kinds[i - 1];
    if ((kind == ArgFileName || kind == ArgDataFile || kind == ArgPlugInFile) && !a.empty() && pkg.IsOpen() &&
        pkg.FindEntry(a)) {
      AnsiString path;
      int err = 0;
      const int rc = pkg.ResolveFile(a, path, err);
      if (rc == kExtractWritten || rc == kExtractExisting) a = path;
    }
    args[i - 1] = PlugInText(a);
  }
  p->exec(rec.id, args);
  for (char*& a : args) std::free(a);
}

}  // namespace

char* PlugInText(std::string_view s) {
  char* p = static_cast<char*>(std::malloc(s.size() + 1));
  if (!p) return nullptr;
  std::memcpy(p, s.data(), s.size());
  p[s.size()] = '\0';
  return p;
}

int PlugInResultMessage(int result) {
  switch (result) {
    case kPlugInNoFile: return 232;
    case kPlugInInvalid: return 231;
    case kPlugInAlreadyLoaded: return 230;
    case kPlugInNameTaken: return 234;
    default: return 233;
  }
}

uintptr_t PlugInMainWindow() {
  TWorkForm* form = WorkForm();
  // Asking for an id would make the window native before its style is
  // settled; a window that has none yet is reported as 0.
  if (!form || !form->testAttribute(Qt::WA_WState_Created)) return 0;
  return static_cast<uintptr_t>(form->winId());
}

// ---------------------------------------------------------------------------

TPlugInManager& ThePlugIns() {
  static TPlugInManager manager;
  return manager;
}

void TPlugInManager::LoadPlugIn(const AnsiString& path) {
  AnsiString loaderText;
  const int rc = Load(path, &loaderText);
  if (rc == kPlugInLoaded) return;
  if (!loaderText.empty()) ShowPlugInError(loaderText);
  ShowPlugInError(path + "\r" + Msg(PlugInResultMessage(rc)));
}

int TPlugInManager::LoadedCount() const { return static_cast<int>(Loaded().size()); }

int TPlugInManager::Load(const AnsiString& path, AnsiString* loaderText) {
  if (!OnInterfaceThread() || gRegistering) return kPlugInCannotOpen;
  const std::string native = NativePath(path);
  struct stat st{};
  if (path.empty() || ::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kPlugInNoFile;
  TCommandTable& table = CommandTable();
  if (table.FindGroupByFileName(path)) return kPlugInAlreadyLoaded;

  const size_t slash = native.rfind('/');
  CurrentFolderGuard folder(slash == std::string::npos ? std::string() : native.substr(0, slash ? slash : 1));
  ::dlerror();
  // RTLD_NOW: a library missing a symbol fails here, with the loader's
  // text, rather than in the middle of a command.
  void* handle = ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (loaderText) {
      const char* why = ::dlerror();
      *loaderText = why ? Utf8ToAnsi(why) : AnsiString();
    }
    return kPlugInCannotOpen;
  }
  auto init = reinterpret_cast<VlInitPlugInFn>(Entry(handle, "vlInitPlugIn"));
  if (!init) {
    ::dlclose(handle);
    return kPlugInInvalid;
  }
  char* nameText = nullptr;
  char* text2 = nullptr;
  char* text3 = nullptr;
  init(PlugInMainWindow(), &nameText, &text2, &text3);
  const AnsiString name = TakeText(nameText);
  TakeText(text2);
  TakeText(text3);
  // A plug-in that gives no name cannot be told apart from another: it is
  // refused as invalid.
  if (name.empty()) {
    ::dlclose(handle);
    return kPlugInInvalid;
  }
  if (table.FindGroupByName(name)) {
    ::dlclose(handle);
    return kPlugInNameTaken;
  }

  auto p = std::make_shared<TPlugIn>();
  p->name = name;
  p->path = path;
  p->handle = handle;
  p->exec = reinterpret_cast<VlExecActionFn>(Entry(handle, "vlExecAction"));
  p->message = reinterpret_cast<VlMessageFn>(Entry(handle, "vlMessage"));
  ActionGroup& group = table.CreateGroup(name, path, handle, 1);
  group.entries.editAction = Entry(handle, "vlEditAction");
  group.entries.executeAction = reinterpret_cast<void*>(p->exec);
  group.entries.message = reinterpret_cast<void*>(p->message);
  group.entries.about = Entry(handle, "vlAbout");
  group.runPlugIn = [p](CommandContext& c, const ActionRecord& rec) {
    // A failure of ours while preparing the call is reported; the action
    // goes on with its next line.
    try {
      RunPlugInCommand(p, c, rec);
    } catch (const std::exception& e) {
      ReportException(e);
    }
  };
  group.onFree = [p](ActionGroup&) { Unload(p); };
  Loaded().push_back(p);

  gRegistering = &group;
  gRegisteringPlugIn = p;
  if (auto f = reinterpret_cast<VlRegisterScriptProcessorFn>(Entry(handle, "vlRegisterScriptProcessor")))
    f(&CbRunActionText);
  if (auto f = reinterpret_cast<VlRegisterInterfaceAccessFn>(Entry(handle, "vlRegisterInterfaceAccess")))
    f(&CbInterfaceAccess);
  if (auto f = reinterpret_cast<VlRegisterStreamAccessFn>(Entry(handle, "vlRegisterStreamAccess")))
    f(&CbStreamAccess);
  // The render entries are known before the plug-in adds its effects.
  p->renderEx = reinterpret_cast<VlRenderEffectExFn>(Entry(handle, "vlRenderEffectEx"));
  p->render = reinterpret_cast<VlRenderEffectFn>(Entry(handle, "vlRenderEffect"));
  group.entries.renderEffect = reinterpret_cast<void*>(p->render);
  group.entries.renderEffect2 = reinterpret_cast<void*>(p->renderEx);
  group.entries.editEffect = Entry(handle, "vlEditEffect");
  if (auto f = reinterpret_cast<VlRegisterEffectFn>(Entry(handle, "vlRegisterEffect"))) f(&CbAddEffect);
  if (auto f = reinterpret_cast<VlRegisterPlugInFn>(Entry(handle, "vlRegisterPlugIn")))
    f(&CbAddAction, &CbReserved, &CbGetVariable, &CbSetVariable);
  gRegistering = nullptr;
  gRegisteringPlugIn.reset();
  return kPlugInLoaded;
}

void TPlugInManager::Broadcast(int32_t code, int32_t param) {
  if (!OnInterfaceThread()) return;
  // A plug-in's answer may run actions; the list is walked as it was.
  const auto list = Loaded();
  for (const auto& p : list)
    if (p->alive && p->message) p->message(code, param);
}

// ---------------------------------------------------------------------------
// Call-backs

namespace plugin_callbacks {

namespace {
AnsiString Bare(const char* name) {
  std::string_view n = name ? std::string_view(name) : std::string_view();
  n = TrimView(n);
  if (n.size() >= 2 && n.front() == '[' && n.back() == ']') n = n.substr(1, n.size() - 2);
  return AnsiString(n);
}
}  // namespace

void GetVariable(const char* name, char** value) {
  if (!value) return;
  *value = nullptr;
  if (!OnInterfaceThread()) return;
  *value = PlugInText(GetVariableValue(Bare(name), NowDateTime()));
}

void SetVariable(const char* name, const char* value) {
  if (!OnInterfaceThread() || !name) return;
  const AnsiString n = Bare(name);
  if (n.empty()) return;
  vl::SetVariable("[" + n + "]", value ? std::string_view(value) : std::string_view());
}

void RunActionText(const char* action) {
  if (!OnInterfaceThread() || !action || !*action) return;
  RunAction(action, 0, kEventPlugInRequest, kOriginPlugIn, "");
}

uint8_t InterfaceAccess(int32_t code, char** text) {
  AnsiString arg;
  if (text && *text) arg = TakeText(*text);
  if (!text || !OnInterfaceThread()) return 0;
  TWorkForm* form = WorkForm();
  AnsiString result;
  switch (code) {
    case VL_IA_PAGE_TITLES: {
      if (!form) return 0;
      const auto& pages = form->Publication().pages;
      for (size_t i = 1; i < pages.size(); ++i) {
        if (i > 1) result += "\r\n";
        result += pages[i].name;
      }
      break;
    }
    case VL_IA_SUBROUTINES: {
      std::vector<AnsiString> labels;
      for (const auto& line : SplitActionLines(SubroutineText())) {
        std::string_view l = TrimView(line);
        const size_t blank = l.find_first_of(" \t");
        std::string_view word = l.substr(0, blank);
        if (word.size() > 1 && word[0] == ':') labels.emplace_back(word.substr(1));
      }
      std::sort(labels.begin(), labels.end(),
                [](const AnsiString& a, const AnsiString& b) { return AnsiUpper(a) < AnsiUpper(b); });
      for (size_t i = 0; i < labels.size(); ++i) {
        if (i) result += "\r\n";
        result += labels[i];
      }
      break;
    }
    case VL_IA_VERSION:
      result = "571.0";
      break;
    case VL_IA_OBJECT_WINDOW: {
      // Objects are not native windows here: a found object answers with
      // the native window that holds it.
      TFoundObject found = TheObjects().FindObject(arg);
      result = std::to_string(found ? PlugInMainWindow() : 0);
      break;
    }
    case VL_IA_MESSAGE: {
      const DialogSettings& s = TheDialogSettings();
      QueryDialog(s.appTitle, arg, s.okText, AnsiString(), "message");
      break;
    }
    default:
      return 0;
  }
  *text = PlugInText(result);
  return *text ? 1 : 0;
}

uint8_t StreamAccess(const char* fileName, int32_t* fd) {
  if (!fd) return 0;
  *fd = -1;
  if (!OnInterfaceThread() || !fileName || !*fileName) return 0;
  TPackage& pkg = ThePackage();
  AnsiString name = fileName;
  if (pkg.IsOpen()) {
    name = pkg.MapEmbeddedName(name);
    AnsiString bare = name;
    if (LibRec* e = pkg.FindEntry(bare)) {
      // A packaged file is handed over as an anonymous in-memory file.
      int m = ::memfd_create("vellion-stream", MFD_CLOEXEC);
      if (m < 0) return 0;
      bool ok = pkg.CopyEntryData(*e, [m](const char* p, size_t n) {
        while (n > 0) {
          ssize_t w = ::write(m, p, n);
          if (w < 0 && errno == EINTR) continue;
          if (w <= 0) return false;
          p += w;
          n -= static_cast<size_t>(w);
        }
        return true;
      });
      if (!ok || ::lseek(m, 0, SEEK_SET) != 0) {
        ::close(m);
        return 0;
      }
      *fd = m;
      return 1;
    }
  }
  const std::string host = HostFilePath(name);
  if (host.empty()) return 0;
  int f = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (f < 0) return 0;
  struct stat st{};
  if (::fstat(f, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(f);
    return 0;
  }
  *fd = f;
  return 1;
}

}  // namespace plugin_callbacks
}  // namespace vl
