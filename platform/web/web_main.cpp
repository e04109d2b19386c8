// The page's entry point: main() starts the layer, hands control to the program's WinMain (module
// handle, no previous instance, an empty command line, SW_SHOW), and when it returns says on the
// page that the demo has ended, with its exit code in document.body.dataset.exitCode for tests and
// embedding pages. Kept out of the layer's library so that test programs can bring their own.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace {

// The notice takes the picture's place (announced, as a status), and replaces nothing else on
// the page, so a message box shown before stays readable.
EM_JS(void, showEndedNotice, (int exitCode, const char* reason), {
    const notice = document.getElementById('ended') || document.createElement('p');
    notice.id = 'ended';
    notice.className = 'over';
    notice.setAttribute('role', 'status');
    notice.setAttribute('aria-live', 'polite');
    const why = UTF8ToString(reason);
    notice.textContent = 'Skorvane has ended (exit code ' + exitCode + ').' +
                         (why ? ' ' + why + '.' : String()) + ' Reload the page to start it again.';
    (document.getElementById('stage') || document.body).appendChild(notice);
    document.body.dataset.exitCode = String(exitCode);
    document.body.classList.add('ended'); // the controls go: there is nothing left to control
});

} // namespace

int main() {
    webplatform::startLayer();
    char commandLine[] = "";
    const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW);
    showEndedNotice(exitCode, webplatform::endingReason().c_str());
    webplatform::shutdownLayer();
    return exitCode;
}
