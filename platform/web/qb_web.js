// The web backend's side in the page (linked with --js-library): drawing,
// the page's clock, messages, navigation and sound. The page's own script
// (page/qb_page.js) owns the canvas, the input handlers and the files.
mergeInto(LibraryManager.library, {
  qb_page_draw: function (rgba, width, height, x, y, w, h) {
    const page = Module.qbPage;
    const pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4);
    page.context.putImageData(new ImageData(pixels, w, h), x, y);
    page.framesDrawn++;
    if (!page.firstFrameAt) {
      page.firstFrameAt = performance.now();
      page.afterFirstFrame();
    }
  },
  qb_page_yield_begin: function () {
    Module.qbPage.yieldBegin();
  },
  qb_page_yield_end: function () {
    Module.qbPage.yieldEnd();
  },
  qb_page_set_title: function (title) {
    document.title = UTF8ToString(title);
  },
  qb_page_message: function (caption, text) {
    window.alert(UTF8ToString(caption) + '\n\n' + UTF8ToString(text));
  },
  qb_page_busy: function (busy) {
    Module.canvas.style.cursor = busy ? 'wait' : '';
  },
  qb_page_size: function (width, height) {
    HEAP32[width >> 2] = window.screen.width;
    HEAP32[height >> 2] = window.screen.height;
  },
  qb_page_text_input: function (on) {
    Module.qbPage.textInput(on !== 0);
  },
  qb_page_touch_points: function () {
    return Module.qbPage.touchPoints();
  },
  qb_page_now: function () {
    return performance.now();
  },
  qb_page_open_program: function (name, parameters) {
    Module.qbPage.openProgram(UTF8ToString(name), UTF8ToString(parameters));
  },
  qb_page_open_address: function (address) {
    window.open(UTF8ToString(address), '_blank', 'noopener');
    return 1;
  },
  qb_page_audio_queue: function (frames, count, rate) {
    return Module.qbPage.queueSound(HEAP16.subarray(frames >> 1, (frames >> 1) + count * 2), count, rate);
  },
});
