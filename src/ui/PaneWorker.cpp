#include "ui/PaneWorker.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Linux gives each thread its own nice value: the worker's lets the
// window's own thread come first.
constexpr int kWorkerNice = 19;

}  // namespace

void TPaneWorker::YieldToWindow()
{
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kWorkerNice);
}
