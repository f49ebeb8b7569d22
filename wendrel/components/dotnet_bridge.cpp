#include "wendrel/components/dotnet_bridge.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/automation/conversion.h"
#include "platform/com/apartment.h"
#include "platform/com/com_object.h"
#include "platform/com/creation.h"
#include "platform/system/code_page.h"
#include "platform/system/system_messages.h"
#include "wendrel/asp/request.h"
#include "wendrel/common/html_text.h"
#include "wendrel/common/narrow_text.h"
#include "wendrel/components/request_gate.h"
#include "wendrel/server/response.h"

namespace {

constexpr std::string_view kErrorPage =
    "<html>\n    <head>\n        <title>Internal error while executing .NET code.</title>\n"
    "<style>\n\tbody {font-family:'Verdana';font-weight:normal;font-size: .7em;color:black;}\n"
    "\tp {font-family:'Verdana';font-weight:normal;color:black;margin-top: -5px}\n"
    "\tb {font-family:'Verdana';font-weight:bold;color:black;margin-top: -5px}\n"
    "\tH1 { font-family:'Verdana';font-weight:normal;font-size:18pt;color:red }\n"
    "\tH2 { font-family:'Verdana';font-weight:normal;font-size:14pt;color:maroon }\n"
    " \tpre {font-family:'Lucida Console';font-size: .9em}\n"
    "\t.marker {font-weight: bold; color: black;text-decoration: none;}\n"
    "\t.version {color: gray;}\n \t.error {margin-bottom: 10px;}\n"
    "\t.expandable { text-decoration:underline; font-weight:bold; color:navy; cursor:hand; }\n"
    "</style>\n</head>\n\n<body bgcolor='white'>\n\n <span><H1>Internal error while executing "
    ".NET code<hr width=100% size=1 color=silver></H1>\n\n <h2> <i>{ERROR_SOURCE}</i> "
    "</h2></span>\n\n<font face='Arial, Helvetica, Geneva, SunSans-Regular, sans-serif'>\n\n"
    "<b> Description: </b>{ERROR_DESCRIPTION}\n\n<br><br>\n\n<hr width=100% size=1 "
    "color=silver>\n\n</font>\n\n</body>\n</html>";

constexpr std::string_view kCannotCreateSource = "Cannot create the server";
constexpr std::string_view kCannotCreateDescription =
    "Unable to create the .NET process; the .NET page cannot be processed";
constexpr std::string_view kCannotContactSource =
    "Error while contacting .NET module; cannot process .NET code";
constexpr std::string_view kExecutionSource = "Error while executing the request";
constexpr int32_t kInternalErrorCode = 500;
// The bridge thread looks at its queue at least this often, signalled or not.
constexpr std::chrono::milliseconds kQueuePoll{100};

void ReplaceOnce(std::string& text, std::string_view placeholder, std::string_view value) {
  size_t at = text.find(placeholder);
  if (at != std::string::npos) text.replace(at, placeholder.size(), value);
}

// One request handed to the bridge. Shared by the submitting worker and the bridge thread; the
// gate keeps the module away from the request's objects once the worker has stopped waiting.
struct WorkItem {
  std::shared_ptr<RequestGate> gate = std::make_shared<RequestGate>();
  ComPtr<IDispatch> server;    // the three objects as the module sees them: through the gate
  ComPtr<IDispatch> request;
  ComPtr<IDispatch> response;
  Response* response_object;   // for the bridge's own error page; used only through the gate
  // ProcessRequestEx's strings, read while the worker owned the request.
  std::string all_http;
  std::string all_raw;
  std::string url_path;
  std::string query;
  std::string client_address;

  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;

  void Complete() {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    finished.notify_all();
  }
  void WriteErrorPage(std::string_view source, std::string_view description) {
    gate->Run([&] { AnswerDotNetError(*response_object, source, description); });
  }
};

// The module and the result code of the last call made through it.
struct ModuleHolder {
  ComPtr<IDispatch> module;
  HRESULT last_result = S_OK;
};

// A server variable's text through the Request's ServerVariables; empty when absent.
std::string ServerVariable(Request& request, std::string_view name) {
  ComPtr<IDispatch> item = request.ServerVariablesCollection().FindEntry(name);
  if (!item) return {};
  Result<Variant> value = DefaultValueOf(item.get());
  if (!value.ok()) return {};
  Result<std::string> text = NarrowTextOf(value.value());
  return text.ok() ? std::move(text).value() : std::string();
}

ComPtr<IDispatch> CreateModule(std::u16string_view prog_id) {
  ComPtr<IDispatch> module;
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(prog_id, &clsid))) return module;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                   reinterpret_cast<void**>(module.Receive()));
  return module;
}

// Step 1: the module, created when the holder has none. False (with the error page written)
// when neither ProgID gives one.
bool EnsureModule(ModuleHolder& holder, WorkItem& item) {
  if (holder.module) return true;
  holder.module = CreateModule(kDotNetModuleProgId);
  if (!holder.module) holder.module = CreateModule(kDotNetModuleFallbackProgId);
  if (holder.module) return true;
  if (SUCCEEDED(holder.last_result)) {
    item.WriteErrorPage(kCannotCreateSource, kCannotCreateDescription);
  } else {
    item.WriteErrorPage(kCannotContactSource, SystemMessageText(holder.last_result));
  }
  return false;
}

DISPID FindMethod(IDispatch* module, std::u16string_view name) {
  std::u16string text(name);
  OLECHAR* names[] = {text.data()};
  DISPID dispid = DISPID_UNKNOWN;
  if (FAILED(module->GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid))) return DISPID_UNKNOWN;
  return dispid;
}

Variant NarrowString(const std::string& text) { return NarrowTextVariant(text); }

// Steps 2 to 5: finds the method, calls it, and answers its failures.
void CallModule(ModuleHolder& holder, WorkItem& item) {
  bool extended = true;
  DISPID method = FindMethod(holder.module.get(), u"ProcessRequestEx");
  if (method == DISPID_UNKNOWN) {
    extended = false;
    method = FindMethod(holder.module.get(), u"ProcessRequest");
  }
  if (method == DISPID_UNKNOWN) {
    holder.module.Reset();  // the next request creates it again
    return;
  }
  std::vector<Variant> arguments;  // first argument first
  if (extended) {
    for (const std::string* text : {&item.all_http, &item.all_raw, &item.url_path, &item.query,
                                    &item.client_address}) {
      arguments.push_back(NarrowString(*text));
    }
  }
  for (IDispatch* object : {item.server.get(), item.request.get(), item.response.get()}) {
    arguments.push_back(Variant::FromDispatch(object));
  }
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO exception{};
  Variant result;
  HRESULT hr = holder.module->Invoke(method, GUID_NULL, 0, DISPATCH_METHOD, &params, &result,
                                     &exception, nullptr);
  holder.last_result = hr;
  if (hr == DISP_E_EXCEPTION) {
    Bstr description = Bstr::Adopt(exception.bstrDescription);
    exception.bstrDescription = nullptr;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    std::string text = description.view().empty() ? SystemMessageText(exception.scode)
                                                  : TextToBytes(description.view(), CP_ACP);
    item.WriteErrorPage(kExecutionSource, text);
    holder.module.Reset();
    return;
  }
  if (FAILED(hr)) item.WriteErrorPage(kExecutionSource, SystemMessageText(hr));
}

void ProcessItem(ModuleHolder& holder, WorkItem& item) {
  if (!EnsureModule(holder, item)) return;
  CallModule(holder, item);
}

}  // namespace

std::string DotNetErrorPage(std::string_view source, std::string_view description) {
  std::string page(kErrorPage);
  ReplaceOnce(page, "{ERROR_SOURCE}", HtmlEscaped(source));
  ReplaceOnce(page, "{ERROR_DESCRIPTION}", HtmlEscaped(description));
  return page;
}

void AnswerDotNetError(Response& response, std::string_view source, std::string_view description) {
  response.SetStatusCode(kInternalErrorCode);
  (void)response.SetBody(DotNetErrorPage(source, description));
}

// What the bridge and its thread share.
struct DotNetBridgeState {
  std::chrono::milliseconds answer_wait{};
  std::mutex mutex;  // guards the members below
  std::condition_variable work;
  std::condition_variable thread_ended;
  std::deque<std::shared_ptr<WorkItem>> queue;
  bool stopping = false;
  bool ended = false;
};


namespace {

// The bridge thread: takes items one at a time until the queue is empty, every time it wakes
// (signalled or after kQueuePoll), so items queued faster than they are signalled are still
// all processed.
void RunBridge(const std::shared_ptr<DotNetBridgeState>& state) {
  ThreadEntry([&] {
    CoInitialize();
    ModuleHolder holder;
    for (;;) {
      std::shared_ptr<WorkItem> item;
      {
        std::unique_lock<std::mutex> lock(state->mutex);
        state->work.wait_for(lock, kQueuePoll, [&] { return state->stopping || !state->queue.empty(); });
        if (state->stopping) break;
        if (state->queue.empty()) continue;
        item = std::move(state->queue.front());
        state->queue.pop_front();
      }
      ProcessItem(holder, *item);
      item->Complete();
    }
    holder.module.Reset();
    CoUninitialize();
  });
  std::lock_guard<std::mutex> lock(state->mutex);
  state->ended = true;
  state->thread_ended.notify_all();
}


bool IsStopping(DotNetBridgeState& state) {
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.stopping;
}

// Waits for the bridge to finish the item, at most the answer wait, and closes its gate. The
// bridge's stop is looked at between short waits, so a stopping server is not held for the
// whole answer wait.
DotNetBridge::Outcome AwaitItem(DotNetBridgeState& state, WorkItem& item) {
  auto deadline = std::chrono::steady_clock::now() + state.answer_wait;
  DotNetBridge::Outcome outcome = DotNetBridge::Outcome::TimedOut;
  for (;;) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    std::unique_lock<std::mutex> lock(item.mutex);
    if (item.finished.wait_for(lock, std::min<std::chrono::steady_clock::duration>(deadline - now, kQueuePoll),
                               [&] { return item.done; })) {
      outcome = DotNetBridge::Outcome::Processed;
      break;
    }
    lock.unlock();
    if (IsStopping(state)) {
      outcome = DotNetBridge::Outcome::Stopped;
      break;
    }
  }
  item.gate->Close();  // whatever the module does from now on no longer reaches the request
  return outcome;
}

}  // namespace

DotNetBridge::DotNetBridge(std::chrono::milliseconds answer_wait)
    : state_(std::make_shared<DotNetBridgeState>()) {
  state_->answer_wait = answer_wait;
  std::thread(RunBridge, state_).detach();  // Stop waits for it through `ended`
}

DotNetBridge::~DotNetBridge() { Stop(); }

DotNetBridge::Outcome DotNetBridge::Submit(IDispatch* server, Request& request, Response& response) {
  auto item = std::make_shared<WorkItem>();
  // The server is only borrowed: it outlives the gate (it stops its bridge before it goes), and
  // its last reference must never be let go on the bridge thread.
  item->server = GuardedDispatch(server, item->gate, GuardedReference::Borrowed);
  item->request = GuardedDispatch(&request, item->gate);
  item->response = GuardedDispatch(&response, item->gate);
  item->response_object = &response;
  item->all_http = ServerVariable(request, "ALL_HTTP");
  item->all_raw = ServerVariable(request, "ALL_RAW");
  item->url_path = request.UrlPath();
  item->query = request.QueryText();
  item->client_address = request.ClientAddress();
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->stopping) return Outcome::Stopped;
    state_->queue.push_back(item);
  }
  state_->work.notify_one();
  return AwaitItem(*state_, *item);
}

void DotNetBridge::Stop() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (state_->stopping) return;  // stopped before: the thread had its wait
  state_->stopping = true;
  state_->queue.clear();  // their workers see the stop and give up waiting
  state_->work.notify_all();
  state_->thread_ended.wait_for(lock, kStopWait, [&] { return state_->ended; });
}
