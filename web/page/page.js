// The page: the window's one dialog. "Process" hands the password and the text
// to the engine in a worker and puts what comes back into the box, or shows the
// engine's message; the keys and the menu are the window's.
'use strict';
(() => {
  const byId = (id) => document.getElementById(id);
  const frame = byId('window');
  const form = byId('main-form');
  const processButton = byId('process');
  const password = byId('password');
  const box = byId('text');
  const working = byId('working');
  const menuButton = byId('menu-button');
  const menu = byId('menu');
  const aboutItem = byId('about-item');
  const messageBox = byId('message');
  const messageText = byId('message-text');
  const aboutBox = byId('about');

  // ---- The engine, in a worker made from the page's own text: nothing is fetched.
  const packedModule = Uint8Array.from(atob(byId('engine-module').textContent.trim()),
                                       (c) => c.charCodeAt(0));
  const workerUrl = URL.createObjectURL(
      new Blob([byId('engine-worker').textContent], { type: 'text/javascript' }));
  const kUnavailable = 'This browser cannot run the engine: it needs WebAssembly and ' +
                       'DecompressionStream (Chromium, Firefox or Safari from 2023 on).';
  let worker = null;
  let engineReady = null;
  let tooLargeMessage = '';
  let pendingReply = null;

  function startWorker() {
    worker = new Worker(workerUrl);
    let unavailable = null;
    engineReady = new Promise((resolve, reject) => {
      unavailable = () => {
        if (document.documentElement.dataset.engine === 'ready') return;
        document.documentElement.dataset.engine = 'unavailable';
        reject(kUnavailable);
      };
      worker.onmessage = (event) => {
        const reply = event.data;
        if (reply.type === 'ready') {
          tooLargeMessage = reply.tooLarge;
          document.documentElement.dataset.engine = 'ready';
          resolve();
        } else if (reply.type === 'unavailable') {
          unavailable();
        } else if (reply.type === 'result' && pendingReply) {
          pendingReply(reply);
        }
      };
    });
    engineReady.catch(() => {});
    // A worker that dies answers the request it had as a failure; one that dies
    // loading leaves no engine (a settled promise ignores the later call).
    worker.onerror = (event) => {
      event.preventDefault();
      if (pendingReply) pendingReply({ kind: 'failed', text: '' });
      else unavailable();
    };
    worker.postMessage({ type: 'load', packedModule });
  }

  function askEngine(passwordText, text) {
    return new Promise((resolve) => {
      pendingReply = (reply) => {
        pendingReply = null;
        resolve(reply);
      };
      worker.postMessage({ type: 'process', password: passwordText, text });
    });
  }

  // ---- Process.
  let busy = false;

  // While the engine works nothing may change the text it will replace. The fields
  // are not made read-only for that: restyling a box that holds megabytes costs
  // as much as showing them again.
  function setBusy(on) {
    busy = on;
    frame.setAttribute('aria-busy', String(on));
    working.hidden = !on;
    processButton.setAttribute('aria-disabled', String(on));
  }
  for (const field of [password, box]) {
    field.addEventListener('beforeinput', (event) => {
      if (busy) event.preventDefault();
    });
  }

  // ---- The password. The engine's password rule (a leading byte-order mark
  // dropped, then only the first line counts) applied where the field cannot hold
  // a line break: each browser strips a pasted or dropped break or turns it into a
  // space before the engine sees it, so the field takes what comes in cut at its
  // first line break, as tarnel-cli and the window do.
  const firstLine = (text) => text.split(/[\r\n\u2028\u2029]/, 1)[0];

  function insertIntoPassword(text) {
    const line = firstLine(text);
    password.focus();
    // insertText keeps the browser's undo and fires the input event a paste does.
    if (document.execCommand('insertText', false, line)) return;
    password.setRangeText(line, password.selectionStart, password.selectionEnd, 'end');
    password.dispatchEvent(
        new InputEvent('input', { bubbles: true, inputType: 'insertFromPaste', data: line }));
  }

  const plainText = (data) =>
    (data && data.types.includes('text/plain') ? data.getData('text/plain') : null);

  password.addEventListener('paste', (event) => {
    const text = plainText(event.clipboardData);
    if (text === null) return;
    event.preventDefault();
    if (!busy) insertIntoPassword(text);
  });
  password.addEventListener('drop', (event) => {
    const text = plainText(event.dataTransfer);
    if (text === null) return;
    event.preventDefault();
    if (busy) return;
    // Where it was dropped, where the browser tells; else at the end.
    const at = document.caretPositionFromPoint?.(event.clientX, event.clientY);
    const offset = at && at.offsetNode === password ? at.offset : password.value.length;
    password.focus();
    password.setSelectionRange(offset, offset);
    insertIntoPassword(text);
  });

  // The page's own undo of a Process: setting a box's value clears the browser's
  // undo, and the browser's way of keeping it is far too slow for large texts.
  let undo = null;  // { before, after, done }

  async function runProcess() {
    if (busy) return;
    const start = performance.now();
    // As the window: no selection left, and nothing is trimmed here.
    box.setSelectionRange(box.selectionEnd, box.selectionEnd);
    setBusy(true);
    const reply = await engineReady.then(() => askEngine(password.value, box.value),
                                         (why) => ({ kind: 'message', text: why }));
    if (reply.kind === 'sealed' || reply.kind === 'opened') {
      const before = box.value;
      setBoxText(reply.text);
      // The box keeps its own form of the text (its line breaks), so keep that.
      undo = { before, after: box.value, done: true };
      // Working until the new text has been drawn; then the engine's warning, if
      // the new text deserves one, over the text it is about.
      requestAnimationFrame(() => setTimeout(() => {
        setBusy(false);
        if (reply.warning) showMessage(reply.warning);
        performance.measure('tarnel-process', { start, end: performance.now() });
      }));
      return;
    }
    setBusy(false);
    if (reply.kind === 'failed') {
      // The module stopped (memory beyond what it could refuse): a fresh one.
      worker.terminate();
      startWorker();
      showMessage(tooLargeMessage);
    } else {
      showMessage(reply.text);
    }
  }

  function setBoxText(text) {
    box.value = text;
    box.setSelectionRange(0, 0);
    box.scrollTop = 0;
  }

  function undoProcess(redo) {
    if (!undo || undo.done === redo) return false;
    if (box.value !== (redo ? undo.before : undo.after)) return false;
    setBoxText(redo ? undo.after : undo.before);
    undo.done = redo;
    return true;
  }

  form.addEventListener('submit', (event) => {
    event.preventDefault();
    runProcess();
  });

  box.addEventListener('beforeinput', (event) => {
    if (event.inputType === 'historyUndo' || event.inputType === 'historyRedo') {
      if (undoProcess(event.inputType === 'historyRedo')) event.preventDefault();
    }
  });

  // ---- Dialogs: modal, and the focus goes back where it was when one closes (or,
  // opened from the menu, where it was before the menu).
  let menuReturn = null;

  function openDialog(dialog) {
    const returnTo = menuReturn || document.activeElement;
    menuReturn = null;
    dialog.addEventListener('close', () => {
      if (returnTo && returnTo.isConnected) returnTo.focus();
    }, { once: true });
    dialog.showModal();
    // OK is a dialog's only control and its default button.
    dialog.querySelector('.dialog-buttons button').focus();
  }

  function showMessage(text) {
    messageText.textContent = text;
    openDialog(messageBox);
  }

  const dialogOpen = () => messageBox.open || aboutBox.open;

  // ---- The menu: the window's system menu, with the about box.
  function openMenu() {
    if (!menu.hidden || dialogOpen()) return;
    menuReturn = document.activeElement;
    menu.hidden = false;
    menuButton.setAttribute('aria-expanded', 'true');
    aboutItem.focus();
  }

  function closeMenu(restoreFocus) {
    if (menu.hidden) return;
    menu.hidden = true;
    menuButton.setAttribute('aria-expanded', 'false');
    if (restoreFocus && menuReturn) menuReturn.focus();
    if (restoreFocus) menuReturn = null;
  }

  menuButton.addEventListener('click', () => (menu.hidden ? openMenu() : closeMenu(true)));
  aboutItem.addEventListener('click', () => {
    closeMenu(false);
    openDialog(aboutBox);
  });
  menu.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' || event.key === 'Tab') {
      event.preventDefault();
      closeMenu(true);
    } else if (event.key === 'ArrowDown' || event.key === 'ArrowUp' || event.key === 'Home' ||
               event.key === 'End') {
      event.preventDefault();
      aboutItem.focus();
    } else if (event.key.toLowerCase() === 'a') {
      event.preventDefault();
      aboutItem.click();
    }
  });
  // The Menu key and Shift+F10 are the page's menu; some browsers still follow the
  // key with a contextmenu event and their own menu. A right click or a long press
  // comes after a pointerdown and keeps the browser's menu (copy, paste).
  let menuKeyPressed = false;
  document.addEventListener('pointerdown', (event) => {
    menuKeyPressed = false;
    if (!menu.contains(event.target) && !menuButton.contains(event.target)) closeMenu(false);
  });
  document.addEventListener('contextmenu', (event) => {
    if (menuKeyPressed) event.preventDefault();
    menuKeyPressed = false;
  });
  menu.addEventListener('focusout', (event) => {
    if (!menu.contains(event.relatedTarget) && event.relatedTarget !== null) closeMenu(false);
  });

  // ---- Keys.
  document.addEventListener('keydown', (event) => {
    const control = event.ctrlKey || event.metaKey;
    if (event.key === 'Escape') {
      // A dialog closes itself; otherwise Esc does nothing (a page cannot close).
      if (!dialogOpen()) event.preventDefault();
    } else if ((event.altKey && event.code === 'Space') || event.key === 'ContextMenu' ||
               (event.shiftKey && event.key === 'F10')) {
      event.preventDefault();
      menuKeyPressed = true;
      openMenu();
    } else if (control && !event.altKey && event.code === 'KeyA' && !dialogOpen()) {
      if (event.target === box) {
        // Select all, and show its end, as the window does.
        event.preventDefault();
        box.setSelectionRange(0, box.value.length, 'forward');
        box.scrollTop = box.scrollHeight;
      } else if (event.target !== password) {
        // Nothing else on the page is there to be selected.
        event.preventDefault();
      }
    } else if (control && !event.altKey && event.target === box && !busy) {
      const key = event.key.toLowerCase();
      const redo = (key === 'z' && event.shiftKey) || (key === 'y' && !event.shiftKey);
      if ((key === 'z' || redo) && undoProcess(redo)) event.preventDefault();
    }
  });

  // ---- Start: the engine loads while the page is already usable.
  startWorker();
  processButton.focus();

  // Installed or served, the page keeps its own files for offline use; opened as a
  // file it needs no such help, and browsers refuse it there anyway.
  if ('serviceWorker' in navigator && window.isSecureContext && location.protocol !== 'file:') {
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
  // Nor can a file offer its manifest: its origin may not fetch one, and a browser
  // that asks for it to install the page logs the refusal as an error.
  if (location.protocol === 'file:') document.querySelector('link[rel="manifest"]').remove();
})();
