// srtx as a library for Node programs: the ES module entry, import 'srtx',
// with the same calls as the CommonJS one and all of them as its default.
/// <reference types="node" />
import * as srtx from './index.js';

export * from './index.js';
declare const all: typeof srtx;
export default all;
