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
  const openItem = byId('open-item');
  const saveItem = byId('save-item');
  const copyItem = byId('copy-item');
  const shareItem = byId('share-item');
  const menuItems = [...menu.querySelectorAll('[role="menuitem"]')];
  const fileInput = byId('file-input');
  const heldPanel = byId('held');
  const heldSummary = byId('held-summary');
  const copyButton = byId('copy');
  const shareButton = byId('share');
  const revealButton = byId('reveal');
  const notice = byId('notice');
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
  // A result, file or paste of more than this many bytes is held by the page, not
  // put into the box. Chromium shows a text of several scripts in the box in about
  // 60 to 100 ms at 64 KiB, 130 to 440 ms at 128 KiB, 0.3 to 0.7 s at 256 KiB and
  // 1.5 s at 1 MiB, all on the main thread (bench.mjs; Firefox takes a tenth of
  // that): up to 64 KiB it stays under the 200 ms a page may hold its thread.
  const kHoldAbove = 64 * 1024;

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

  // One request to the engine at a time; a buffer in `transfer` moves to the
  // worker rather than being copied.
  function askEngine(request, transfer = []) {
    return new Promise((resolve) => {
      pendingReply = (reply) => {
        pendingReply = null;
        resolve(reply);
      };
      worker.postMessage(request, transfer);
    });
  }

  // The engine stopped (memory beyond what it could refuse): a fresh one.
  function engineFailed() {
    worker.terminate();
    startWorker();
    showMessage(tooLargeMessage);
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
    showPassword(false);
    // As the window: no selection left, and nothing is trimmed here.
    box.setSelectionRange(box.selectionEnd, box.selectionEnd);
    setBusy(true);
    const before = currentContent();
    const passwordText = password.value;
    const reply = await engineReady.then(async () => {
      if (!before.held) return askEngine({ type: 'process', password: passwordText, text: before.text, holdAbove: kHoldAbove });
      // Held bytes go over as one buffer that moves rather than being copied.
      const bytes = await before.held.blob.arrayBuffer();
      return askEngine({ type: 'process', password: passwordText, text: bytes, holdAbove: kHoldAbove }, [bytes]);
    }, (why) => ({ kind: 'message', text: why }));
    if (reply.kind === 'sealed' || reply.kind === 'opened') {
      replaceContent(before, reply.blob ? { held: { blob: reply.blob, size: reply.size, kind: reply.kind } }
                                        : { text: reply.text, kind: reply.kind });
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
    if (reply.kind === 'failed') engineFailed();
    else showMessage(reply.text);
  }

  function setBoxText(text) {
    box.value = text;
    box.setSelectionRange(0, 0);
    box.scrollTop = 0;
  }

  // ---- What the box holds: { text } in the box, or { held } when too large to
  // show: { blob, size, kind ('sealed', 'opened', 'file' or 'text'), name, utf8 }.
  // `boxKind` says where the box's text came from, for the name it is saved under.
  let held = null;
  let boxKind = null;
  let boxName = null;

  const currentContent = () => (held ? { held } : { text: box.value, kind: boxKind, name: boxName });
  const sameContent = (a, b) => (a.held || b.held ? a.held === b.held : a.text === b.text);

  const kWhat = { sealed: 'Sealed text', opened: 'Opened text', text: 'Text' };
  const sizeWords = (bytes) => {
    const exact = `${bytes.toLocaleString('en')} bytes`;
    if (bytes < 1024) return exact;
    const [unit, size] = bytes < 1048576 ? ['KiB', bytes / 1024] : ['MiB', bytes / 1048576];
    return `${size.toFixed(1)} ${unit} (${exact})`;
  };

  function showContent(content) {
    const hadFocus = document.activeElement === box || heldPanel.contains(document.activeElement);
    if (content.held) {
      held = content.held;
      const what = held.kind === 'file' ? `File "${held.name}"` : kWhat[held.kind];
      heldSummary.textContent = `${what}, ${sizeWords(held.size)}${held.utf8 === false ? ', not UTF-8' : ''}`;
      box.hidden = true;
      heldPanel.hidden = false;
      if (hadFocus) heldPanel.focus();
    } else {
      held = null;
      boxKind = content.kind ?? null;
      boxName = content.name ?? null;
      heldPanel.hidden = true;
      box.hidden = false;
      // The box may hold this text already, hidden behind a held result.
      if (box.value !== content.text) setBoxText(content.text);
      if (hadFocus) box.focus();
    }
    copyButton.hidden = held !== null;
  }

  // Puts `after` in place of `before`, which Ctrl+Z brings back.
  function replaceContent(before, after) {
    showContent(after);
    // The box keeps its own form of the text (its line breaks), so keep that.
    undo = { before, after: currentContent(), done: true };
  }

  // A text from outside (a share, a paste): into the box, or held when too large
  // to show. False when it was left to the box.
  function putText(text, onlyWhenLarge = false) {
    const blob = new Blob([text], { type: 'text/plain;charset=utf-8' });
    if (onlyWhenLarge && blob.size <= kHoldAbove) return false;
    replaceContent(currentContent(), blob.size > kHoldAbove
      ? { held: { blob, size: blob.size, kind: 'text' } }
      : { text });
    return true;
  }

  // A paste that makes the box's text too large to show is held instead: the box
  // would take seconds to show it.
  box.addEventListener('paste', (event) => {
    const pasted = plainText(event.clipboardData);
    if (busy || pasted === null || pasted.length * 3 + box.value.length * 3 <= kHoldAbove) return;
    const text = box.value.slice(0, box.selectionStart) + pasted + box.value.slice(box.selectionEnd);
    if (putText(text, true)) event.preventDefault();
  });

  // An edited text is no longer the result it was; a file's keeps its name. A
  // script that fills the hidden box replaces a held result.
  box.addEventListener('input', () => {
    if (boxKind !== 'file') boxKind = null;
    if (held) showContent({ text: box.value });
  });

  function undoProcess(redo) {
    if (!undo || undo.done === redo) return false;
    if (!sameContent(currentContent(), redo ? undo.before : undo.after)) return false;
    showContent(redo ? undo.after : undo.before);
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

  // ---- Files in. The file's bytes go to the worker in one buffer that moves
  // there: UTF-8 that the box can show comes back as its text; any other file is
  // held as it is, and Process hands its bytes to the engine, which applies the
  // text rule as tarnel-cli does to a file (bytes that are not UTF-8 are refused).
  async function openFile(file) {
    if (busy || !file) return;
    setBusy(true);
    const before = currentContent();
    const reply = await engineReady.then(async () => {
      const bytes = await file.arrayBuffer();
      return askEngine({ type: 'file', bytes, showUpTo: kHoldAbove }, [bytes]);
    }, (why) => ({ kind: 'message', text: why }));
    setBusy(false);
    if (reply.kind === 'failed') engineFailed();
    else if (reply.kind === 'message') showMessage(reply.text);
    else if (typeof reply.text === 'string') replaceContent(before, { text: reply.text, kind: 'file', name: file.name });
    else replaceContent(before, { held: { blob: file, size: file.size, kind: 'file', name: file.name, utf8: reply.utf8 } });
  }

  fileInput.addEventListener('change', () => {
    const [file] = fileInput.files;
    fileInput.value = '';
    openFile(file);
  });
  const chooseFile = () => !busy && fileInput.click();

  // A file dropped anywhere on the page; a dropped text stays the browser's.
  const carriesFile = (event) => event.dataTransfer?.types.includes('Files');
  document.addEventListener('dragover', (event) => {
    if (carriesFile(event) && !dialogOpen()) event.preventDefault();
  });
  document.addEventListener('drop', (event) => {
    if (!carriesFile(event) || dialogOpen()) return;
    event.preventDefault();
    openFile(event.dataTransfer.files[0]);
  });

  // ---- Files out, the clipboard and sharing: what the box shows, or what it holds.
  // A sealed text is saved with the line break tarnel-cli ends one with.
  function contentName() {
    const kind = held ? held.kind : boxKind;
    if (kind === 'sealed' || kind === 'opened') return `${kind}.txt`;
    return (held ? held.name : boxName) || 'text.txt';
  }

  function contentBlob() {
    const kind = held ? held.kind : boxKind;
    const parts = [held ? held.blob : box.value];
    if (kind === 'sealed') parts.push('\n');
    return new Blob(parts, { type: 'text/plain;charset=utf-8' });
  }

  function save() {
    if (busy) return;
    const url = URL.createObjectURL(contentBlob());
    const link = document.createElement('a');
    link.href = url;
    link.download = contentName();
    link.click();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  }

  let noticeTimer = 0;
  function announce(words) {
    notice.textContent = words;
    clearTimeout(noticeTimer);
    noticeTimer = setTimeout(() => (notice.textContent = ''), 4000);
  }

  async function copy() {
    if (held?.utf8 === false) {
      announce('Not copied: the file is not UTF-8 text.');
      return;
    }
    try {
      if (held) {
        await navigator.clipboard.write([new ClipboardItem({ 'text/plain': new Blob([held.blob], { type: 'text/plain' }) })]);
      } else {
        await navigator.clipboard.writeText(box.value);
      }
      announce('Copied.');
    } catch {
      announce('The browser did not let the page copy.');
    }
  }

  async function share() {
    try {
      if (held) {
        const file = new File([held.blob], contentName(), { type: 'text/plain' });
        if (navigator.canShare?.({ files: [file] })) await navigator.share({ files: [file] });
        else await navigator.share({ text: await held.blob.text() });
      } else {
        await navigator.share({ text: box.value });
      }
    } catch {
      // Cancelled, or refused: nothing changed.
    }
  }

  const canShare = typeof navigator.share === 'function';
  shareButton.hidden = shareItem.hidden = !canShare;

  // ---- The password shown while its button is pressed in (a toggle), hidden
  // again by Process. Alt+F8 in the field presses it too.
  function showPassword(on) {
    password.type = on ? 'text' : 'password';
    revealButton.setAttribute('aria-pressed', String(on));
  }
  revealButton.addEventListener('pointerdown', (event) => event.preventDefault());
  revealButton.addEventListener('click', () => {
    showPassword(password.type === 'password');
    password.focus();
  });

  for (const [control, act] of [[openItem, chooseFile], [saveItem, save], [copyItem, copy], [shareItem, share],
                                 [copyButton, copy], [byId('held-copy'), copy], [byId('held-save'), save],
                                 [shareButton, share]]) {
    control.addEventListener('click', () => {
      closeMenu(true);
      act();
    });
  }

  // Keys of their own: Ctrl+O and Ctrl+S; Alt+F8 in the password field; on the
  // held panel Ctrl+Z and Ctrl+Y as in the box, and a paste or Delete replaces
  // what it holds.
  document.addEventListener('keydown', (event) => {
    if (dialogOpen()) return;
    const control = event.ctrlKey || event.metaKey;
    const key = event.key.toLowerCase();
    if (event.altKey) {
      if (event.key === 'F8' && event.target === password && !control) {
        event.preventDefault();
        showPassword(password.type === 'password');
      }
    } else if (control && !event.shiftKey && (key === 'o' || key === 's')) {
      event.preventDefault();
      if (key === 'o') chooseFile();
      else save();
    } else if (event.target === heldPanel && !busy) {
      const redo = control && ((key === 'z' && event.shiftKey) || (key === 'y' && !event.shiftKey));
      if (control && (key === 'z' || redo)) {
        if (undoProcess(redo)) event.preventDefault();
      } else if (!control && (event.key === 'Delete' || event.key === 'Backspace')) {
        event.preventDefault();
        replaceContent(currentContent(), { text: '' });
      }
    }
  });
  heldPanel.addEventListener('paste', (event) => {
    const text = plainText(event.clipboardData);
    if (text === null || busy) return;
    event.preventDefault();
    putText(text);
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
      const shown = menuItems.filter((item) => !item.hidden);
      const at = shown.indexOf(document.activeElement);
      const step = { ArrowDown: at + 1, ArrowUp: at - 1 + shown.length, Home: 0, End: shown.length - 1 };
      shown[step[event.key] % shown.length].focus();
    } else {
      // Each item's underlined letter chooses it.
      const item = menuItems.find((i) => !i.hidden && i.querySelector('u')?.textContent.toLowerCase() === event.key.toLowerCase());
      if (item) {
        event.preventDefault();
        item.click();
      }
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
    // A text shared to the installed page: the service worker took it from the
    // share's POST, so that it never stood in an address, and hands it over here.
    navigator.serviceWorker.addEventListener('message', (event) => {
      const shared = event.data;
      if (shared?.type !== 'shared') return;
      if (shared.file) openFile(shared.file);
      else if (shared.text) putText(shared.text);
    });
    navigator.serviceWorker.startMessages();
    navigator.serviceWorker.controller?.postMessage({ type: 'take-shared' });
  }
  // Nor can a file offer its manifest: its origin may not fetch one, and a browser
  // that asks for it to install the page logs the refusal as an error.
  if (location.protocol === 'file:') document.querySelector('link[rel="manifest"]').remove();
})();
