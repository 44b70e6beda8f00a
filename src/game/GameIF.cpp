#include "game/GameIF.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "base/Log.h"
#include "core/LuaManager.h"
#include "core/Matrix.h"
#include "core/MissingFiles.h"
#include "core/Object.h"
#include "core/ScriptVM.h"
#include "display/ProjectStages.h"
#include "display/TextQuad.h"
#include "game/GCoreApi.h"
#include "game/ProjectModules.h"
#include "media/ALAudioManager.h"
#include "net/Downloader.h"
#include "net/GitPathHook.h"
#include "platform/MessageBox.h"
#include "render/FontStyle.h"
#include "render/RendererGLES2.h"
#include "render/ResourceManager.h"
#include "render/TTFManager.h"

namespace GCore {

namespace {
// Every program has the game object's file: the project states get the
// modules of all subsystems, and the projects their stages, from the moment
// it is loaded.
[[maybe_unused]] const bool kEngineModulesNamed = (NameEngineModules(), NameProjectStages(), true);

// Never destroyed: a game object still held when the program ends (it ended
// without closing) is left to the system, as its Shutdown would run scripts
// and a bare destruction would run engine code after other statics are gone.
std::unique_ptr<GameIF>& HeldGame() {
  static auto* held = new std::unique_ptr<GameIF>;
  return *held;
}
}  // namespace

void StartGame(std::unique_ptr<GameIF> game) {
  HeldGame() = std::move(game);
  g_game = HeldGame().get();
}

void EndGame() {
  std::unique_ptr<GameIF>& held = HeldGame();
  if (!held) return;
  held->Shutdown();
  held.reset();
  g_game = nullptr;
}
int32_t g_runState = kRunRunning;
RestartRequest g_restart;
int32_t g_restartCount = 0;

namespace {

void EnsureFolder(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  mkdir(path.c_str(), 0755);
}

}  // namespace

std::string RootFolderFromExecutable() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(length));
  for (int cut = 0; cut < 3; ++cut) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    path.resize(slash);
  }
  return path;
}

GameIF::GameIF(const char* projectName) : GameIF(projectName, RootFolderFromExecutable()) {}

GameIF::GameIF(const char* name, std::string root) {
  rootFolder = std::move(root);
  projectName = name;
  SetGitRootFolder(rootFolder);
  // A restart keeps what the game said before it: the errors that led to a
  // restart are often the ones the author is looking for.
  LogOpen(rootFolder + "/build/log.txt", g_restartCount > 0);
  EnsureFolder(rootFolder + "/write");
  writeFolder = rootFolder + "/write/" + projectName;
  EnsureFolder(writeFolder);
  g_shuttingDown = false;
}

GameIF::~GameIF() {
  // Its worker may still be writing the fetched texts.
  downloadHolder.reset();
}

ScriptVM* GameIF::CreateScriptVM() {
  scriptVM_ = std::make_unique<ScriptVM>();
  return scriptVM_.get();
}

LuaManager* GameIF::CreateLuaManager() {
  luaManager_ = std::make_unique<LuaManager>();
  return luaManager_.get();
}

ResourceManager* GameIF::CreateResourceManager() {
  resourceManager_ = std::make_unique<ResourceManager>();
  return resourceManager_.get();
}

Renderer* GameIF::CreateRenderer() {
  renderer_ = std::make_unique<RendererGLES2>();
  return renderer_.get();
}

namespace {

// An identity matrix of the first project, or null without one. Made under
// a protected call: the allocation may step the collector into a failing
// finaliser of the project's scripts.
Matrix* NewFirstProjectMatrix(LuaManager* projects) {
  LuaProj* first = projects ? projects->GetProject(1) : nullptr;
  Matrix* matrix = nullptr;
  if (first && first->state) RunProtected(first->state, [&](lua_State* L) { matrix = NewMatrix(L); });
  return matrix;
}

void SetBaseTransform(Matrix* matrix) {
  if (matrix) matrix->Retain();
  Drop(CurrentTransform);
  CurrentTransform = matrix;
}

}  // namespace

void GameIF::RebuildRenderer() {
  if (resourceManager_) resourceManager_->ResetTextures();
  renderer_.reset();
  CreateRenderer();
  renderer_->SetBaseViewTransform(NewFirstProjectMatrix(luaManager_.get()));
  renderer_->Init();
}

bool GameIF::PreInit() {
  LogWrite("PreInit Start\n");
  CreateScriptVM();
  fontManager_ = std::make_unique<TTFManager>();
  CreateLuaManager();
  if (!scriptVM_->Check()) return false;
  CreateRenderer();
  CreateResourceManager();
  luaManager_->LoadProj(projectName.c_str());
  SetBaseTransform(NewFirstProjectMatrix(luaManager_.get()));
  renderer_->SetBaseViewTransform(NewFirstProjectMatrix(luaManager_.get()));
  audioManager_ = std::make_unique<ALAudioManager>();
  return true;
}

bool GameIF::Init() {
  if (audioManager_ && !audioManager_->Start()) LogWrite("failed init audio ");
  if (renderer_) renderer_->Init();
  if (fontManager_) fontManager_->Init();
  luaManager_->Initialise();
  LogWrite("Init");
  return true;
}

bool AppIF::Init() {
  GameIF::Init();
  LogWrite("AppIF done\n");
  // "gamestart" may load further projects, which moves the records: only
  // the state is kept across the script.
  if (LuaProj* first = GetLuaManager()->GetProject(1); first && first->state) {
    lua_State* L = first->state;
    if (!DoScript(L, "gamestart")) ReportNoStartScript("gamestart");
    lua_settop(L, 0);
  }
  return true;
}

void GameIF::Update(uint32_t elapsedMs) {
  if (downloadHolder) {
    downloadHolder->Poll();
    if (downloadFinished) {
      downloadHolder.reset();
      downloadFinished = false;
    }
  }
  uint32_t step;
  if (timeScale < 0) {
    step = static_cast<uint32_t>(-static_cast<int64_t>(timeScale));
    timeScale = 0;
  } else {
    const uint32_t product = static_cast<uint32_t>(timeScale) * elapsedMs;
    step = static_cast<uint32_t>(static_cast<float>(product) * 0.001f);
    if (elapsedMs != 0 && step == 0) step = 1;
  }
  lastStep = step;
  if (step == 0) return;
  gameTime += step;
  if (luaManager_) luaManager_->Update(gameTime);
}

void GameIF::Render() {
  if (renderer_) renderer_->RenderFrame(nullptr);
}

void GameIF::Resize(int width, int height) {
  if (renderer_) renderer_->Resize(width, height);
}

void GameIF::Quit() {
  MessageBox("info", "FinishUpdate");
  g_runState = kRunShutdown;
}

int GameIF::MessageBox(const char* title, const char* text) { return ShowMessageBox(title, text); }

void GameIF::SetInputText(const char* text) {
  if (luaManager_ && luaManager_->inputFocus) luaManager_->inputFocus->SetText(text);
}

void GameIF::Shutdown() {
  downloadHolder.reset();
  Api::ForgetHttpRequest();
  // From here the last release of an engine object destroys it at once, so
  // everything the managers hold goes before the Lua states close.
  g_shuttingDown = true;
  SetBaseTransform(nullptr);
  if (fontManager_) fontManager_->Shutdown();
  fontManager_.reset();
  if (audioManager_) audioManager_->Shutdown();
  audioManager_.reset();
  if (resourceManager_) resourceManager_->Clear();
  resourceManager_.reset();
  renderer_.reset();
  if (luaManager_) luaManager_->CloseAll();
  luaManager_.reset();
  ClearFontStyles();
  std::fflush(stdout);
  std::fflush(stderr);
  scriptVM_.reset();
  ReleaseScriptBuffer();
}

}  // namespace GCore
