// srtx as a library for Node programs: the CommonJS entry, require('srtx').
/// <reference types="node" />

/** What the command printed and its exit status, byte for byte. */
export interface RunResult {
    status: number;
    stdout: Buffer;
    stderr: Buffer;
}

export interface Stream {
    index: number;
    /** The signed big-endian word at bytes 88-91 of the stream's DspEntry. */
    word: number;
    /** A BAD SIZE warning came just before this stream's line. */
    badSize: boolean;
}

export interface ListResult {
    status: number;
    /** The count line's number; null when no count line was printed. */
    count: number | null;
    /** The streams listed, in order; fewer than count when the walk stopped.
     *  Made when first read (a million streams are a million objects), then kept. */
    readonly streams: Stream[];
    /** The file does not end right after the DSP entry visited last. */
    badSizeAtEnd: boolean;
    /** The step of the error line, e.g. "check SSD block header"; null on success. */
    failedStep: string | null;
    /** Standard output as the command prints it; made when first read. */
    readonly text: string;
}

export interface DumpResult {
    status: number;
    failedStep: string | null;
    /** The error or bad-stream-number line; '' when the dump was written. */
    message: string;
}

export interface CallOptions {
    /** Ends the run where it stands; the call rejects with an AbortError
     *  once its worker thread has stopped. */
    signal?: AbortSignal;
}

/** A path: a string, a file: URL, or a Buffer or Uint8Array of UTF-8, with
 *  no NUL byte; at most 32,767 bytes, and all of a call's arguments at most
 *  65,536 bytes (more is refused with ENAMETOOLONG). */
export type PathLike = string | URL | Uint8Array;

/** Runs srtx with the arguments after the program name. */
export function run(args: readonly string[], options?: CallOptions): Promise<RunResult>;
/** Lists a container. Relative paths resolve against process.cwd(). */
export function list(containerPath: PathLike, options?: CallOptions): Promise<ListResult>;
/** Writes stream's DspEntry followed by the .ssd file's bytes to output.
 *  stream: a safe integer, or a string passed exactly as a shell passes it. */
export function dump(container: PathLike, stream: number | string, ssd: PathLike, output: PathLike,
    options?: CallOptions): Promise<DumpResult>;
/** A failed step in plain words. */
export function explainStep(step: string): string;
