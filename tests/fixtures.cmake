# Test fixtures: made once per build by the sample generator into ${TQ_FIXTURE_DIR}, and
# again only when the generator changes. Every test program depends on them and finds
# them through the compile definition TQ_FIXTURE_DIR.
#
# All are 30 fps, front camera 320x180, H.264 (gop 30) with AAC 48 kHz mono sound and the
# GPS/G-sensor logs embedded in the free box, 3 s long, starting 2026-12-05 10:15:00,
# unless said otherwise:
#   h264_sound.mp4           the plain case (90 frames, 3 key frames)
#   h264_rear.mp4            rear camera, 256x144, seed 2
#   h265_sound.mp4           H.265, 2 s (ptvi holds VPS, SPS, PPS)
#   h264_nosound.mp4         no sound: no ptso, one track
#   gps2.mp4                 gps2 layout: ptnm kind 4, binary gps2 records, no frame records, 2 s
#   20261205_101500_NF.mp4   logs beside it: 20261205_101500_N.gps and 20261205_101500_N.3gf,
#                            and its thumbnail 20261205_101500_NF.thm (JPEG of picture 0)
#   unfinished_frames.mp4    moov missing, mdat size 0, ends after the 45th video sample
#   unfinished_byte.mp4      moov missing, cut at byte 40000 (inside the mdat)
#   reserved_room.mp4        complete; moov (ending in a junk child) before the mdat
#   reserved_unfinished.mp4  reserved room holding only the junk child, 40 video samples
#   gop60.mp4                key frame every 60 frames (two seconds), 5 s
#   extra_bytes.mp4          8 extra bytes after every frame record, record clock base 123456 ms
#   20261205_102000_NF.mp4   a front/rear pair of one moment (rear 256x144), sharing one drive's logs
#   20261205_102000_NR.mp4
#   sound_first.mp4          pictures start 100 ms after the sound: the first record is sound, 2 s
#   sound_late.mp4           sound starts 250 ms after the first picture, 2 s
#   20261205_104000_NF.mp4   25 s, key frame every second (from 10:40:00)
#   20261205_104100_NF.mp4   25 s, key frame every ten seconds (gop 300, from 10:41:00)
# AVI (second family): front 320x180, H.264 Annex-B (SPS-led key frames every 30 frames),
# 16 kHz 16-bit mono PCM in 100 ms chunks, "GPSR" and "SENS" text streams, idx1, 3 s from
# 2026-12-05 10:30:00, unless said otherwise:
#   avi_front.avi            one video stream
#   avi_pair.avi             front and rear (256x144) video streams
#   nor_00000120261205_103000_1F_N.avi   the same, under a camera name
#   avi_pair_noindex.avi     front and rear, no idx1 (movi complete)
#   avi_noindex.avi          no idx1 (movi complete)
#   avi_nostartcode.avi      no idx1; the first picture is length-prefixed, not Annex-B
#   avi_cut.avi              no idx1, file cut at byte 30000 (inside the movi list)
#   avi_small.avi            1 s, no text streams (for byte-by-byte truncation)
set(TQ_FIXTURE_DIR ${PROJECT_BINARY_DIR}/fixtures)
add_custom_command(OUTPUT ${TQ_FIXTURE_DIR}/.complete
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TQ_FIXTURE_DIR}
  COMMAND $<TARGET_FILE:tqmb20-gen> --fixtures ${TQ_FIXTURE_DIR} --quiet
  COMMAND ${CMAKE_COMMAND} -E touch ${TQ_FIXTURE_DIR}/.complete
  DEPENDS tqmb20-gen
  COMMENT "Generating the test fixtures"
  VERBATIM)
add_custom_target(tq_fixtures DEPENDS ${TQ_FIXTURE_DIR}/.complete)
