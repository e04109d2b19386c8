// The layer's part of MessageBoxA: a dialog on the page with the caption, the text, why the
// failing call failed (when the layer knows), and OK or Yes/No buttons, waited for (through
// ASYNCIFY) until one is pressed, as a modal box waits on Windows. win32_common has already
// written the box's line to stderr, which is the page's console. Other button
// sets (MB_OKCANCEL, MB_RETRYCANCEL, ...) and the icons are not offered.
#include "platform/web/web_internal.h"

#include <emscripten/emscripten.h>

namespace {

// The box stays on the page until a person presses a button. On a page of its own the Yes or OK
// button has the focus, so Enter answers with it, as on Windows; inside another page's frame the
// box takes no focus (the host's keyboard stays the host's) and waits to be clicked or tapped.
// (clang-format would split the JavaScript arrows.)
// clang-format off
EM_ASYNC_JS(int, showPageMessageBox, (const char* caption, const char* text, const char* reason, bool yesNo), {
    const captionText = UTF8ToString(caption);
    const bodyText = UTF8ToString(text);
    const reasonText = UTF8ToString(reason);
    const box = document.createElement('div');
    box.className = 'message-box';
    box.setAttribute('role', 'alertdialog');
    const heading = document.createElement('h2');
    heading.textContent = captionText;
    const message = document.createElement('p');
    message.textContent = bodyText;
    box.append(heading, message);
    if (reasonText) {
        const why = document.createElement('p');
        why.className = 'reason';
        why.textContent = reasonText.charAt(0).toUpperCase() + reasonText.slice(1) + '.';
        box.appendChild(why);
    }
    const answers = yesNo ? [ [ 'Yes', 6 ], [ 'No', 7 ] ] : [[ 'OK', 1 ]];
    const answer = await new Promise(resolve => {
        for (const choice of answers) {
            const label = choice[0];
            const result = choice[1];
            const button = document.createElement('button');
            button.textContent = label;
            button.dataset.result = String(result);
            // Only a person answers: a click made by a script is not an answer.
            button.addEventListener('click', event => event.isTrusted && resolve(result));
            box.appendChild(button);
        }
        document.body.appendChild(box);
        let topLevel = false;
        try {
            topLevel = window.top === window.self;
        } catch (e) {
            topLevel = false; // a cross-origin parent may not even be compared
        }
        if (topLevel) {
            box.querySelector('button').focus();
        }
    });
    box.remove();
    return answer;
});
// clang-format on

} // namespace

using namespace webplatform;

int win32common::showMessageBox(const MessageBoxRequest& request) {
    if (!request.reason.empty()) {
        layer().reportedReason = request.reason; // for the page's closing notice
    }
    layer().messageBoxShowing = true;
    const int answer = showPageMessageBox(request.caption.c_str(), request.text.c_str(),
                                          request.reason.c_str(), request.yesNo);
    layer().messageBoxShowing = false;
    noteHandBack();
    return answer;
}
