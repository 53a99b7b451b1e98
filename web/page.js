// page.js: the game's hold on the page: its canvas, its output in the console, and the hidden demo player.
// Loaded before the data package and the program, which both add to this Module.
var Module = (function () {
  const params = new URLSearchParams(location.search);
  // ?timedemo=URL plays the recorded game at URL as fast as it goes and prints its final state hash,
  // as korvado_sp --timedemo FILE does on the desktop.
  const demo = params.get('timedemo');
  const module = {
    canvas: document.getElementById('canvas'),
    arguments: demo ? ['--timedemo', '/timedemo.kvd'] : [],
    noAudioDecoding: true,  // sounds are decoded by Web Audio when the game loads them
    print: text => console.log(text),
    printErr: text => console.error(text),
    preRun: [],
    // The pictures are decoded away from the page's thread, all at once, before the game starts.
    preloadPlugins: [{
      canHandle: name => name.endsWith('.png'),
      handle: (bytes, name, onload, onerror) => {
        const options = {premultiplyAlpha: 'none', colorSpaceConversion: 'none'};
        createImageBitmap(new Blob([bytes], {type: 'image/png'}), options).then(bitmap => {
          module.preloadedImages[name] = bitmap;  // the game's loader draws it as it would a canvas
          onload(bytes);
        }, () => onerror());
      },
    }],
  };
  if (demo) {
    module.preRun.push(() => {
      module.addRunDependency('timedemo');
      fetch(demo)
        .then(r => { if (!r.ok) throw new Error(r.status + ' ' + r.statusText); return r.arrayBuffer(); })
        .then(b => {
          module.FS_createDataFile('/', 'timedemo.kvd', new Uint8Array(b), true, false);
          module.removeRunDependency('timedemo');
        })
        .catch(e => console.error('korvado: demo ' + demo + ': ' + e.message));
    });
  }
  return module;
})();
