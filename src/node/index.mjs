// srtx as an ES module: the same calls as the CommonJS entry.
import srtx from './index.js';

export const { run, list, dump, explainStep } = srtx;
export default srtx;
