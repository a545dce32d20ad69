/* Plain C interface of the player in libzbdecode.so: a player object with its own
 * decoding and output threads, driven by numbered control messages and reporting through
 * notification records written to a pipe. */
#ifndef ZIMBAR_OUTSIDE_ZBDECODE_PLAYER_H
#define ZIMBAR_OUTSIDE_ZBDECODE_PLAYER_H

#include <stdint.h>

#include "outside/zbdecode/zbdecode_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Use (the player program links these functions):
 *   int fds[2]; pipe(fds);                 the program watches fds[0] in its main loop
 *   ZbdPlayer* p; player_new(&p, &fds[1]);  the library writes notification records to fds[1]
 *   control_message_send_S(p, ZBD_MSG_INPUT_OPEN, "song.mp3");
 *   control_message_send_N(p, ZBD_MSG_PLAY);
 *   on fds[0] readable: read one ZbdPostedMessage header and its payload, then
 *   control_win32_params_to_message(p, &message, header.code, header.bytes, payload);
 *   ...
 *   player_delete(p);                      stops the threads; the caller closes the pipe
 *
 * Every control_message_send_* call only queues the message for the player's decoding
 * thread and returns at once: ZBD_OK, ZBD_ERR_ARGUMENT (NULL player, a text longer than
 * ZBD_MAX_TEXT bytes, a code of another argument form) or ZBD_ERR_MEMORY. What the message
 * did is reported through notifications: a getter answers with the notification of its
 * kind; a refused message is answered by Nack (66) with one of the ZBD_ERR_* codes; an
 * accepted one by Ack (65) when the notification mask asks for acknowledgements.
 * Any thread may send messages; messages are carried out in the order sent. Stop (5),
 * InputClose (8), InputOpen (7) and Exit (1) end an input that waits for its server (a
 * stream opening, a read waiting for data) as they are sent, so that they are carried out
 * at once whatever the server does; the open cut short is answered by Nack, without an
 * error notification. A file input must be a regular file: a FIFO, a device or a folder
 * is refused at once (an error notification says what the name is).
 *
 * Units the player uses:
 *   position    Offset and Range of the position notification (76) and of InputSeek (6)
 *               are seconds: Range is the length of the input in whole seconds (0 for a
 *               stream or an input of unknown length), Offset the seconds played. InputSeek
 *               moves to Offset / Range of the length (Range 0: no effect).
 *   timecode    notification 78 carries hours (not reduced modulo 24), minutes, seconds and
 *               hundredths of the audio heard so far; it is sent each time that has grown by
 *               the timecode granularity (ms, message 42; default 1000), and after a seek.
 *   volume      SetOutputVolume (48) takes master level, PCM level (both 0..100) and
 *               balance (0 = left only, 50 = centre, 100 = right only); a channel's gain is
 *               master/100 * pcm/100 * its balance share (the louder side keeps 1).
 *   equalizer   SetCodecEqualizer (58) takes a pointer to ZbdEqualizer, copied during the
 *               call. Band b of a channel drives the decoder's sub-band b (each a 64th of
 *               the sample rate wide, band 0 at the bottom). A value v (clamped to -51..50)
 *               scales the band by 10^(dB/20) with dB = 12 * v / 50 for v >= 0 and
 *               dB = 24 * v / 51 for v < 0: +50 lifts by 12 dB, -51 cuts by 24 dB. A record
 *               of zeros switches the equalizer off: the output is that of no equalizer.
 *   stream info notification 81: level 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5; layer 1..3;
 *               bitrate in kbit/s (of the frame last heard; sent again each second, so a
 *               variable rate shows); frequency in Hz; mode 0 stereo, 1 joint stereo,
 *               2 dual channel, 3 mono.
 *   player mode SetPlayerMode (29) takes ZBD_PLAYER_MODE_* flags; the default is 0.
 */

typedef struct ZbdPlayer ZbdPlayer;

#define ZBD_MAX_TEXT 1000 /* bytes of a text argument or field, without its zero */

/* Nack code of a message the player understands but does not carry out (input filters,
 * module messages). The other codes are the ZBD_ERR_* results of zbdecode_api.h. */
#define ZBD_ERR_NOT_SUPPORTED (-20)

/* Control message codes and their argument forms (N none, I int, II, III ints, IPI
 * int-pointer-int, P pointer, S text, SI text and int, SS two texts). */
enum {
  ZBD_MSG_EXIT = 1,                          /* N: stop the threads; answered by Exited */
  ZBD_MSG_PING = 2,                          /* I tag: answered by Pong with the tag */
  ZBD_MSG_PLAY = 3,                          /* N: start or resume playback */
  ZBD_MSG_PAUSE = 4,                         /* N: stop feeding the output; what it holds plays out */
  ZBD_MSG_STOP = 5,                          /* N: stop and rewind; the output drops what it holds */
  ZBD_MSG_INPUT_SEEK = 6,                    /* II offset, range */
  ZBD_MSG_INPUT_OPEN = 7,                    /* S file path, http:// or ftp:// URL */
  ZBD_MSG_INPUT_CLOSE = 8,                   /* N */
  ZBD_MSG_INPUT_SEND_MESSAGE = 9,            /* IPI type, data, size: no input module takes messages */
  ZBD_MSG_INPUT_ADD_FILTER = 10,             /* SI name, id: there are no input filters */
  ZBD_MSG_INPUT_REMOVE_FILTER = 11,          /* SI */
  ZBD_MSG_INPUT_FILTER_LIST = 12,            /* N: answered by nothing (no filters) */
  ZBD_MSG_INPUT_MODULE_REGISTER = 13,        /* S: the input modules are built in */
  ZBD_MSG_INPUT_MODULE_QUERY = 14,           /* I id: answered by InputModuleInfo */
  ZBD_MSG_INPUT_MODULES_LIST = 15,           /* N: one InputModuleInfo per module */
  ZBD_MSG_OUTPUT_OPEN = 16,                  /* S output name ("" = the current one) */
  ZBD_MSG_OUTPUT_CLOSE = 17,                 /* N */
  ZBD_MSG_OUTPUT_SEND_MESSAGE = 18,          /* IPI: no output module takes messages */
  ZBD_MSG_OUTPUT_MUTE = 19,                  /* N */
  ZBD_MSG_OUTPUT_UNMUTE = 20,                /* N */
  ZBD_MSG_OUTPUT_RESET = 21,                 /* N: drop what the output holds */
  ZBD_MSG_OUTPUT_DRAIN = 22,                 /* N: wait until it has played what it holds */
  ZBD_MSG_OUTPUT_ADD_FILTER = 23,            /* SI "function@%p" of a ZbdOutputFilterDescribe, id */
  ZBD_MSG_OUTPUT_REMOVE_FILTER = 24,         /* SI the same name (id ignored) */
  ZBD_MSG_OUTPUT_FILTER_LIST = 25,           /* N: one OutputFilterInfo per filter */
  ZBD_MSG_OUTPUT_MODULE_REGISTER = 26,       /* S "function@library" (library "x.dll" is libx.so) */
  ZBD_MSG_OUTPUT_MODULE_QUERY = 27,          /* I id: answered by OutputModuleInfo */
  ZBD_MSG_OUTPUT_MODULES_LIST = 28,          /* N: one OutputModuleInfo per module */
  ZBD_MSG_SET_PLAYER_MODE = 29,              /* I */
  ZBD_MSG_GET_PLAYER_MODE = 30,              /* N */
  ZBD_MSG_SET_PLAYER_ENVIRONMENT_INTEGER = 31, /* SI */
  ZBD_MSG_GET_PLAYER_ENVIRONMENT_INTEGER = 32, /* S */
  ZBD_MSG_SET_PLAYER_ENVIRONMENT_STRING = 33,  /* SS */
  ZBD_MSG_GET_PLAYER_ENVIRONMENT_STRING = 34,  /* S */
  ZBD_MSG_UNSET_PLAYER_ENVIRONMENT = 35,       /* S */
  ZBD_MSG_SET_INPUT_NAME = 36,               /* S: the input the next InputOpen "" opens */
  ZBD_MSG_GET_INPUT_NAME = 37,               /* N */
  ZBD_MSG_SET_INPUT_MODULE = 38,             /* I: -1 = chosen by name */
  ZBD_MSG_GET_INPUT_MODULE = 39,             /* N */
  ZBD_MSG_SET_INPUT_POSITION_RANGE = 40,     /* I: must be 0 (seconds, see units) */
  ZBD_MSG_GET_INPUT_POSITION_RANGE = 41,     /* N */
  ZBD_MSG_SET_INPUT_TIMECODE_GRANULARITY = 42, /* I ms, 10 .. 60000 */
  ZBD_MSG_GET_INPUT_TIMECODE_GRANULARITY = 43, /* N */
  ZBD_MSG_SET_OUTPUT_NAME = 44,              /* S "/dev/wave/0", "/dev/dsound/0" */
  ZBD_MSG_GET_OUTPUT_NAME = 45,              /* N */
  ZBD_MSG_SET_OUTPUT_MODULE = 46,            /* I */
  ZBD_MSG_GET_OUTPUT_MODULE = 47,            /* N */
  ZBD_MSG_SET_OUTPUT_VOLUME = 48,            /* III master, pcm, balance */
  ZBD_MSG_GET_OUTPUT_VOLUME = 49,            /* N */
  ZBD_MSG_SET_OUTPUT_CHANNELS = 50,          /* I ZBD_CHANNELS_* */
  ZBD_MSG_GET_OUTPUT_CHANNELS = 51,          /* N */
  ZBD_MSG_SET_OUTPUT_PORTS = 52,             /* I: the default device's ports only, 0 */
  ZBD_MSG_GET_OUTPUT_PORTS = 53,             /* N */
  ZBD_MSG_SET_CODEC_QUALITY = 54,            /* I: 0 full rate, 1 half, 2 quarter */
  ZBD_MSG_GET_CODEC_QUALITY = 55,            /* N */
  ZBD_MSG_SET_CODEC_EQUALIZER = 58,          /* P ZbdEqualizer* (NULL = off) */
  ZBD_MSG_GET_CODEC_EQUALIZER = 59,          /* N */
  ZBD_MSG_SET_NOTIFICATION_MASK = 60,        /* I ZBD_NOTIFY_* */
  ZBD_MSG_GET_NOTIFICATION_MASK = 61,        /* N */
  ZBD_MSG_SET_DEBUG_LEVEL = 62,              /* I 0..10: Debug notifications up to that level */
  ZBD_MSG_GET_DEBUG_LEVEL = 63               /* N */
};

/* Notification codes, each with the fields of ZbdMessage it fills. */
enum {
  ZBD_NOTIFY_READY = 64,             /* none: the threads run */
  ZBD_NOTIFY_ACK = 65,               /* ack.command */
  ZBD_NOTIFY_NACK = 66,              /* nack.command, nack.code (ZBD_ERR_*) */
  ZBD_NOTIFY_PONG = 67,              /* tag */
  ZBD_NOTIFY_EXITED = 68,            /* none */
  ZBD_NOTIFY_PLAYER_STATE = 69,      /* state: ZBD_PLAYER_STATE_* */
  ZBD_NOTIFY_PLAYER_MODE = 70,       /* tag: the mode */
  ZBD_NOTIFY_PLAYER_ENVIRONMENT_INTEGER = 71, /* environment_integer */
  ZBD_NOTIFY_PLAYER_ENVIRONMENT_STRING = 72,  /* environment_string */
  ZBD_NOTIFY_INPUT_STATE = 73,       /* state: ZBD_INPUT_STATE_* */
  ZBD_NOTIFY_INPUT_NAME = 74,        /* name: the input; for a stream, its title each time the
                                        stream's metadata changes it (valid UTF-8 without
                                        control characters; an 8-bit title is read as
                                        ISO-8859-1) */
  ZBD_NOTIFY_INPUT_CAPS = 75,        /* tag: ZBD_INPUT_CAN_* */
  ZBD_NOTIFY_INPUT_POSITION = 76,    /* position (seconds, see units) */
  ZBD_NOTIFY_INPUT_POSITION_RANGE = 77, /* state: 0 */
  ZBD_NOTIFY_INPUT_TIMECODE = 78,    /* timecode */
  ZBD_NOTIFY_INPUT_TIMECODE_GRANULARITY = 79, /* tag: ms */
  ZBD_NOTIFY_INPUT_DURATION = 80,    /* tag: length in ms, 0 when unknown */
  ZBD_NOTIFY_INPUT_STREAM_INFO = 81, /* stream_info */
  ZBD_NOTIFY_INPUT_MODULE = 82,      /* module.id */
  ZBD_NOTIFY_INPUT_MODULE_INFO = 83, /* module_info */
  ZBD_NOTIFY_INPUT_DEVICE_INFO = 84, /* device_info (never sent: inputs have no devices) */
  ZBD_NOTIFY_INPUT_FILTER_INFO = 85, /* filter_info (never sent: there are no input filters) */
  ZBD_NOTIFY_OUTPUT_STATE = 86,      /* state: ZBD_OUTPUT_STATE_* */
  ZBD_NOTIFY_OUTPUT_NAME = 87,       /* name */
  ZBD_NOTIFY_OUTPUT_CAPS = 88,       /* tag: ZBD_OUTPUT_CAN_* */
  ZBD_NOTIFY_OUTPUT_VOLUME = 89,     /* volume */
  ZBD_NOTIFY_OUTPUT_BALANCE = 90,    /* value: balance */
  ZBD_NOTIFY_OUTPUT_PCM_LEVEL = 91,  /* value: pcm level */
  ZBD_NOTIFY_OUTPUT_MASTER_LEVEL = 92, /* value: master level */
  ZBD_NOTIFY_OUTPUT_CHANNELS = 93,   /* value: ZBD_CHANNELS_* */
  ZBD_NOTIFY_OUTPUT_PORTS = 94,      /* tag: ports */
  ZBD_NOTIFY_OUTPUT_MODULE = 96,     /* module.id */
  ZBD_NOTIFY_OUTPUT_MODULE_INFO = 97, /* module_info */
  ZBD_NOTIFY_OUTPUT_DEVICE_INFO = 98, /* device_info: sent with OutputModuleInfo, one per device */
  ZBD_NOTIFY_OUTPUT_FILTER_INFO = 99, /* filter_info */
  ZBD_NOTIFY_CODEC_QUALITY = 100,    /* value */
  ZBD_NOTIFY_CODEC_EQUALIZER = 101,  /* equalizer */
  ZBD_NOTIFY_NOTIFICATION_MASK = 102, /* tag */
  ZBD_NOTIFY_DEBUG_LEVEL = 103,      /* value */
  ZBD_NOTIFY_PROGRESS = 104,         /* progress: a stream's buffering, value in percent */
  ZBD_NOTIFY_DEBUG = 105,            /* debug */
  ZBD_NOTIFY_ERROR = 106             /* error: why an input, an output or a stream failed */
};

/* Player states (notification 69). */
#define ZBD_PLAYER_STATE_STOPPED 0
#define ZBD_PLAYER_STATE_PLAYING 1
#define ZBD_PLAYER_STATE_PAUSED 2
#define ZBD_PLAYER_STATE_EOS 3 /* the input ended by itself and its audio has been heard */

/* Input states (73) and output states (86). */
#define ZBD_INPUT_STATE_CLOSED 0
#define ZBD_INPUT_STATE_OPEN 1
#define ZBD_OUTPUT_STATE_CLOSED 0
#define ZBD_OUTPUT_STATE_OPEN 1

/* Input capabilities (75) and output capabilities (88). */
#define ZBD_INPUT_CAN_SEEK 0x1
#define ZBD_INPUT_IS_STREAM 0x2
#define ZBD_OUTPUT_CAN_VOLUME 0x1

/* Player mode flags (29). */
#define ZBD_PLAYER_MODE_PLAY_ON_OPEN 0x1     /* playback starts when an input opens */
#define ZBD_PLAYER_MODE_OUTPUT_AUTO_CLOSE 0x2 /* the output device is closed when playback
                                                 stops or ends, so others may use it */
#define ZBD_PLAYER_MODE_GAPLESS 0x4 /* at the end of an input the output is not drained: the
                                       end comes as soon as all of its audio is queued, and the
                                       output plays on for the next player of the process
                                       that opens the same device and format to take over */

/* Output channels (50). */
#define ZBD_CHANNELS_STEREO 0
#define ZBD_CHANNELS_MONO_LEFT 1  /* both sides play the left channel */
#define ZBD_CHANNELS_MONO_RIGHT 2
#define ZBD_CHANNELS_MONO_MIX 3

/* Notification mask bits (60): a notification is sent when its group's bit is set. */
#define ZBD_NOTIFY_MASK_ACK 0x01
#define ZBD_NOTIFY_MASK_NACK 0x02
#define ZBD_NOTIFY_MASK_PROGRESS 0x04
#define ZBD_NOTIFY_MASK_DEBUG 0x08
#define ZBD_NOTIFY_MASK_TIMECODE 0x10
#define ZBD_NOTIFY_MASK_POSITION 0x20
#define ZBD_NOTIFY_MASK_ERROR 0x40
#define ZBD_NOTIFY_MASK_OTHER 0x80 /* every other notification */
#define ZBD_NOTIFY_MASK_DEFAULT 0xF6 /* all but Ack and Debug */

/* Environment names the player reads (31). */
#define ZBD_ENV_STREAM_TIMEOUT "INPUT.STREAM.TIMEOUT" /* ms a stream may stall before it ends; default 10000 */
#define ZBD_ENV_STREAM_NO_AUDIO "INPUT.STREAM.NO_AUDIO" /* ms a stream may go on without a frame of audio
                                                           before it ends with an error; default 30000 */
#define ZBD_ENV_OUTPUT_WINDOW "OUTPUT.DIRECTSOUND.WINDOW" /* kept for the DirectSound module; unused */
#define ZBD_ENV_CODEC_GAIN "CODEC.GAIN" /* hundredths of a dB the decoder scales the audio of the
                                           inputs opened from then on by (ReplayGain), clipped
                                           at full scale; 0 or unset: the audio as decoded */

/* The equalizer record: 32 band values for the left channel, then 32 for the right. */
typedef struct ZbdEqualizer {
  int8_t left[32];
  int8_t right[32];
} ZbdEqualizer;

/* A converted notification: the code, then its fields. Texts point into text[] of the
 * same record. */
typedef struct ZbdMessage {
  uint32_t code;
  union {
    uint8_t state;  /* the byte after the code */
    uint8_t value;
    uint32_t tag;
    struct { uint8_t command; } ack;
    struct { uint8_t command; int16_t code; } nack;
    struct { uint32_t offset, range; } position;
    struct { uint8_t hours, minutes, seconds, fractions; } timecode;
    struct { uint8_t level, layer; uint16_t bitrate, frequency; uint8_t mode; } stream_info;
    struct { const char* name; int32_t value; } environment_integer;
    struct { const char* name; const char* value; } environment_string;
    struct { const char* name; } name;
    struct { int16_t id; } module;
    struct { uint8_t id, nb_devices; const char* name; const char* description; } module_info;
    struct { uint8_t module_id, index, flags; const char* name; const char* description; } device_info;
    struct { uint8_t id; const char* name; } filter_info;
    struct { uint8_t master_level, pcm_level, balance; } volume;
    ZbdEqualizer equalizer;
    struct { uint8_t source, code; int16_t value; const char* message; } progress;
    struct { uint8_t source, level; const char* message; } debug;
    struct { uint8_t source; int16_t code; const char* message; } error;
  } data;
  char text[2 * (ZBD_MAX_TEXT + 1)];
} ZbdMessage;

/* Sources of Error, Debug and Progress notifications. */
#define ZBD_SOURCE_PLAYER 0
#define ZBD_SOURCE_INPUT 1
#define ZBD_SOURCE_OUTPUT 2
#define ZBD_SOURCE_CODEC 3

/* A record on the notification pipe: this header, then `bytes` payload bytes, written in
 * one write of at most PIPE_BUF bytes (so a reader always finds a whole record). The
 * payload is the library's own; pass it to control_win32_params_to_message. When the
 * pipe is full the library drops the notification rather than block its threads. */
typedef struct ZbdPostedMessage {
  uint32_t code;
  uint32_t bytes;
} ZbdPostedMessage;

/* Creates a player and starts its threads; *notifyFd is the write end of the pipe the
 * notifications go to (the library sets it non-blocking; it is not closed by the
 * library). ZBD_OK, ZBD_ERR_ARGUMENT, ZBD_ERR_MEMORY. Sends Ready when running. */
ZBDECODE_EXPORT int32_t player_new(ZbdPlayer** player, const int32_t* notifyFd);
/* Stops playback and the threads and frees the player; it waits for no server or input
 * (see above). ZBD_OK; NULL is ignored. */
ZBDECODE_EXPORT int32_t player_delete(ZbdPlayer* player);
/* Silences at once the output a player left playing at the end of its input in gapless
 * mode (ZBD_PLAYER_MODE_GAPLESS), when no player has taken it over: the user's Stop. */
ZBDECODE_EXPORT void player_discard_lingering_output(void);
/* Scheduling level of the decoding and output threads, 0 (idle) to 5 (highest);
 * default 3 (normal). A raise the system refuses keeps the level. */
ZBDECODE_EXPORT uint32_t player_get_priority(ZbdPlayer* player);
ZBDECODE_EXPORT int32_t player_set_priority(ZbdPlayer* player, uint32_t priority);

ZBDECODE_EXPORT int32_t control_message_send_N(ZbdPlayer* player, int32_t code);
ZBDECODE_EXPORT int32_t control_message_send_I(ZbdPlayer* player, int32_t code, int32_t value);
ZBDECODE_EXPORT int32_t control_message_send_II(ZbdPlayer* player, int32_t code, int32_t value1, int32_t value2);
ZBDECODE_EXPORT int32_t control_message_send_III(ZbdPlayer* player, int32_t code, int32_t value1, int32_t value2,
                                                 int32_t value3);
ZBDECODE_EXPORT int32_t control_message_send_IPI(ZbdPlayer* player, int32_t code, int32_t value1,
                                                 const void* pointer, int32_t value2);
/* P: the record pointed to is copied before the call returns (SetCodecEqualizer). */
ZBDECODE_EXPORT int32_t control_message_send_P(ZbdPlayer* player, int32_t code, const void* pointer);
ZBDECODE_EXPORT int32_t control_message_send_S(ZbdPlayer* player, int32_t code, const char* text);
ZBDECODE_EXPORT int32_t control_message_send_SI(ZbdPlayer* player, int32_t code, const char* text, int32_t value);
ZBDECODE_EXPORT int32_t control_message_send_SS(ZbdPlayer* player, int32_t code, const char* text1,
                                                const char* text2);

/* Converts a record read from the pipe (message = its code, wParam = its payload bytes,
 * lParam = the payload's address) into *out. ZBD_OK, or ZBD_ERR_ARGUMENT for a NULL
 * argument, a code outside 64..106 or a payload that does not fit the code (out then
 * holds the code and zeroed fields). */
ZBDECODE_EXPORT int32_t control_win32_params_to_message(ZbdPlayer* player, ZbdMessage* out, uint32_t message,
                                                        uint64_t wParam, uint64_t lParam);

/*
 * Output filters. OutputAddFilter("function@%p", id) names a description routine by its
 * address in this process. The player calls it once with a table of
 * ZBD_FILTER_TABLE_ENTRIES entries to fill (all NULL on entry) and adds the filter when it
 * returns 0 and sets at least the name, new-instance and write entries:
 *   [0] const char* name(void)
 *   [1] int32_t new_instance(void** instance, uint32_t id)   0 = success
 *   [2] int32_t delete_instance(void* instance)
 *   [3] int32_t open(ZbdOutputFilterStage* stage, uint32_t sampleRate, uint32_t channels)
 *       (optional: the output opens or changes format)
 *   [4] int32_t close(ZbdOutputFilterStage* stage) (optional)
 *   [5] int32_t write(ZbdOutputFilterStage* stage, const void* pcm, uint32_t bytes,
 *                     uint32_t bytesPerSample, uint32_t channels, uint32_t sampleRate)
 *   [6] .. [11] unused, left NULL.
 * write is called on the player's output thread with every block of decoded PCM before it
 * is played (interleaved 16-bit samples, native byte order); it must hand the same six
 * values on with stage->next->write(stage->next, pcm, bytes, bytesPerSample, channels,
 * sampleRate) and return its result (0 = success). The last stage plays the audio. A
 * filter may look at the PCM but must not change it.
 */
#define ZBD_FILTER_TABLE_ENTRIES 12
typedef void (*ZbdFilterEntry)(void);
typedef int32_t (*ZbdOutputFilterDescribe)(ZbdFilterEntry* table);

typedef struct ZbdOutputFilterStage ZbdOutputFilterStage;
typedef int32_t (*ZbdOutputFilterWrite)(ZbdOutputFilterStage* stage, const void* pcm, uint32_t bytes,
                                        uint32_t bytesPerSample, uint32_t channels, uint32_t sampleRate);
struct ZbdOutputFilterStage {
  uint32_t structBytes;          /* word 1: sizeof(ZbdOutputFilterStage) */
  void* instance;                /* word 2: what new_instance stored */
  ZbdOutputFilterStage* next;    /* the next stage of the chain */
  ZbdOutputFilterWrite write;    /* this stage's write entry */
};

/*
 * Output modules. OutputModuleRegister("function@library") loads library by name (the
 * name "x.dll" stands for libx.so, found as the programs find outside libraries) and calls
 * function(&module) to fill the description; the module then owns the output names that
 * begin with its devicePrefix. The built-in module "wave" owns "/dev/wave/" and plays
 * through the ALSA output; SetOutputName chooses the module by the name's prefix.
 */
typedef struct ZbdOutputModule {
  uint32_t structBytes;       /* set by the player before the call: sizeof(ZbdOutputModule) */
  const char* name;           /* static texts of the module */
  const char* description;
  const char* devicePrefix;   /* "/dev/dsound/" */
  const char* audioBackend;   /* the audio output it plays through: "pulse" or "alsa" */
} ZbdOutputModule;
typedef int32_t (*ZbdOutputModuleRegister)(ZbdOutputModule* module);

#ifdef __cplusplus
}
#endif

#endif
