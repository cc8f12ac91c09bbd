#pragma once
// The entry points the engine calls, one list per run-time library.
//
// Each row is X(name, optional): the export's own name and whether a library
// without it still binds (the variable then stays null and callers test it).
// This file names only exports of the FFmpeg 5.1 libraries that the engine is
// compiled against; it depends on no header, so test stubs can expand it too.

// libavutil.so.57
#define FF_AVUTIL_ENTRY_POINTS(X)               \
  X(avutil_version, false)                      \
  X(av_version_info, false)                     \
  X(av_asprintf, false)                         \
  X(av_bprint_finalize, false)                  \
  X(av_bprint_init, false)                      \
  X(av_bprintf, false)                          \
  X(av_bprint_chars, false)                     \
  X(av_buffer_alloc, false)                     \
  X(av_buffer_allocz, false)                    \
  X(av_buffer_create, false)                    \
  X(av_buffer_default_free, false)              \
  X(av_buffer_make_writable, false)             \
  X(av_buffer_ref, false)                       \
  X(av_buffer_unref, false)                     \
  X(av_buffer_pool_init, false)                 \
  X(av_buffer_pool_get, false)                  \
  X(av_buffer_pool_uninit, false)               \
  X(av_compare_ts, false)                       \
  X(av_default_item_name, false)                \
  X(av_dict_copy, false)                        \
  X(av_dict_count, false)                       \
  X(av_dict_free, false)                        \
  X(av_dict_get, false)                         \
  X(av_dict_get_string, false)                  \
  X(av_dict_parse_string, false)                \
  X(av_dict_set, false)                         \
  X(av_dict_set_int, false)                     \
  X(av_display_rotation_get, false)             \
  X(av_display_rotation_set, false)             \
  X(av_display_matrix_flip, false)              \
  X(av_expr_eval, false)                        \
  X(av_expr_free, false)                        \
  X(av_expr_parse, false)                       \
  X(av_fast_malloc, false)                      \
  X(av_find_nearest_q_idx, false)               \
  X(av_find_best_pix_fmt_of_2, false)           \
  X(av_fopen_utf8, false)                       \
  X(av_force_cpu_flags, false)                  \
  X(av_frame_alloc, false)                      \
  X(av_frame_clone, false)                      \
  X(av_frame_copy, false)                       \
  X(av_frame_copy_props, false)                 \
  X(av_frame_free, false)                       \
  X(av_frame_get_buffer, false)                 \
  X(av_frame_get_side_data, false)              \
  X(av_frame_is_writable, false)                \
  X(av_frame_make_writable, false)              \
  X(av_frame_move_ref, false)                   \
  X(av_frame_new_side_data, false)              \
  X(av_frame_ref, false)                        \
  X(av_frame_remove_side_data, false)           \
  X(av_frame_unref, false)                      \
  X(av_free, false)                             \
  X(av_freep, false)                            \
  X(av_gcd, false)                              \
  X(av_get_alt_sample_fmt, false)               \
  X(av_get_bits_per_pixel, false)               \
  X(av_get_bytes_per_sample, false)             \
  X(av_get_channel_layout, false)               \
  X(av_get_channel_layout_nb_channels, false)   \
  X(av_get_channel_layout_string, false)        \
  X(av_get_cpu_flags, false)                    \
  X(av_get_default_channel_layout, false)       \
  X(av_get_media_type_string, false)            \
  X(av_get_packed_sample_fmt, false)            \
  X(av_get_padded_bits_per_pixel, false)        \
  X(av_get_picture_type_char, false)            \
  X(av_get_pix_fmt, false)                      \
  X(av_get_pix_fmt_name, false)                 \
  X(av_get_planar_sample_fmt, false)            \
  X(av_get_sample_fmt, false)                   \
  X(av_get_sample_fmt_name, false)              \
  X(av_get_token, false)                        \
  X(av_gettime, false)                          \
  X(av_gettime_relative, false)                 \
  X(av_hwdevice_ctx_create, false)              \
  X(av_hwdevice_find_type_by_name, false)       \
  X(av_hwdevice_get_type_name, false)           \
  X(av_hwframe_ctx_alloc, false)                \
  X(av_hwframe_ctx_init, false)                 \
  X(av_hwframe_get_buffer, false)               \
  X(av_hwframe_transfer_data, false)            \
  X(av_image_alloc, false)                      \
  X(av_image_check_size, false)                 \
  X(av_image_copy, false)                       \
  X(av_image_copy_to_buffer, false)             \
  X(av_image_fill_arrays, false)                \
  X(av_image_fill_linesizes, false)             \
  X(av_image_get_buffer_size, false)            \
  X(av_int_list_length_for_size, false)         \
  X(av_log, false)                              \
  X(av_log_default_callback, false)             \
  X(av_log_format_line2, false)                 \
  X(av_log_get_flags, false)                    \
  X(av_log_get_level, false)                    \
  X(av_log_set_callback, false)                 \
  X(av_log_set_flags, false)                    \
  X(av_log_set_level, false)                    \
  X(av_malloc, false)                           \
  X(av_malloc_array, false)                     \
  X(av_mallocz, false)                          \
  X(av_max_alloc, false)                        \
  X(av_channel_layout_check, false)             \
  X(av_channel_layout_compare, false)           \
  X(av_channel_layout_copy, false)              \
  X(av_channel_layout_default, false)           \
  X(av_channel_layout_describe, false)          \
  X(av_channel_layout_from_mask, false)         \
  X(av_channel_layout_from_string, false)       \
  X(av_channel_layout_uninit, false)            \
  X(av_add_q, false)                            \
  X(av_sub_q, false)                            \
  X(av_mul_q, false)                            \
  X(av_div_q, false)                            \
  X(av_d2q, false)                              \
  X(av_nearer_q, false)                         \
  X(av_opt_child_class_iterate, false)          \
  X(av_opt_eval_flags, false)                   \
  X(av_opt_eval_int, false)                     \
  X(av_opt_find, false)                         \
  X(av_opt_free, false)                         \
  X(av_opt_get, false)                          \
  X(av_opt_get_double, false)                   \
  X(av_opt_get_int, false)                      \
  X(av_opt_get_q, false)                        \
  X(av_opt_next, false)                         \
  X(av_opt_ptr, false)                          \
  X(av_opt_set, false)                          \
  X(av_opt_set_bin, false)                      \
  X(av_opt_set_chlayout, false)                 \
  X(av_opt_set_defaults, false)                 \
  X(av_opt_set_dict, false)                     \
  X(av_opt_set_dict2, false)                    \
  X(av_opt_set_double, false)                   \
  X(av_opt_set_image_size, false)               \
  X(av_opt_set_int, false)                      \
  X(av_opt_set_pixel_fmt, false)                \
  X(av_opt_set_q, false)                        \
  X(av_opt_set_sample_fmt, false)               \
  X(av_parse_color, false)                      \
  X(av_parse_cpu_caps, false)                   \
  X(av_parse_ratio, false)                      \
  X(av_parse_time, false)                       \
  X(av_parse_video_rate, false)                 \
  X(av_parse_video_size, false)                 \
  X(av_pix_fmt_count_planes, false)             \
  X(av_pix_fmt_desc_get, false)                 \
  X(av_pix_fmt_desc_get_id, false)              \
  X(av_pix_fmt_desc_next, false)                \
  X(av_realloc, false)                          \
  X(av_realloc_array, false)                    \
  X(av_realloc_f, false)                        \
  X(av_reallocp_array, false)                   \
  X(av_reduce, false)                           \
  X(av_rescale, false)                          \
  X(av_rescale_delta, false)                    \
  X(av_rescale_q, false)                        \
  X(av_rescale_q_rnd, false)                    \
  X(av_rescale_rnd, false)                      \
  X(av_sample_fmt_is_planar, false)             \
  X(av_samples_alloc, false)                    \
  X(av_samples_copy, false)                     \
  X(av_samples_get_buffer_size, false)          \
  X(av_samples_set_silence, false)              \
  X(av_audio_fifo_alloc, false)                 \
  X(av_audio_fifo_free, false)                  \
  X(av_audio_fifo_read, false)                  \
  X(av_audio_fifo_size, false)                  \
  X(av_audio_fifo_write, false)                 \
  X(av_strcasecmp, false)                       \
  X(av_strncasecmp, false)                      \
  X(av_strdup, false)                           \
  X(av_strndup, false)                          \
  X(av_strerror, false)                         \
  X(av_stristart, false)                        \
  X(av_stristr, false)                          \
  X(av_strlcat, false)                          \
  X(av_strlcatf, false)                         \
  X(av_strlcpy, false)                          \
  X(av_strstart, false)                         \
  X(av_strtod, false)                           \
  X(av_match_name, false)                       \
  X(av_usleep, false)

// libswresample.so.4
#define FF_SWRESAMPLE_ENTRY_POINTS(X)           \
  X(swresample_version, false)                  \
  X(swr_alloc, false)                           \
  X(swr_alloc_set_opts, false)                  \
  X(swr_alloc_set_opts2, false)                 \
  X(swr_close, false)                           \
  X(swr_config_frame, false)                    \
  X(swr_convert, false)                         \
  X(swr_convert_frame, false)                   \
  X(swr_drop_output, false)                     \
  X(swr_free, false)                            \
  X(swr_get_class, false)                       \
  X(swr_get_delay, false)                       \
  X(swr_get_out_samples, false)                 \
  X(swr_init, false)                            \
  X(swr_inject_silence, false)                  \
  X(swr_is_initialized, false)                  \
  X(swr_next_pts, false)                        \
  X(swr_set_compensation, false)

// libswscale.so.6
#define FF_SWSCALE_ENTRY_POINTS(X)              \
  X(swscale_version, false)                     \
  X(sws_alloc_context, false)                   \
  X(sws_freeContext, false)                     \
  X(sws_get_class, false)                       \
  X(sws_getCachedContext, false)                \
  X(sws_getCoefficients, false)                 \
  X(sws_getColorspaceDetails, false)            \
  X(sws_getContext, false)                      \
  X(sws_init_context, false)                    \
  X(sws_isSupportedInput, false)                \
  X(sws_isSupportedOutput, false)               \
  X(sws_scale, false)                           \
  X(sws_scale_frame, false)                     \
  X(sws_setColorspaceDetails, false)

// libavcodec.so.59
#define FF_AVCODEC_ENTRY_POINTS(X)              \
  X(avcodec_version, false)                     \
  X(av_bsf_alloc, false)                        \
  X(av_bsf_flush, false)                        \
  X(av_bsf_free, false)                         \
  X(av_bsf_get_by_name, false)                  \
  X(av_bsf_init, false)                         \
  X(av_bsf_iterate, false)                      \
  X(av_bsf_list_parse_str, false)               \
  X(av_bsf_receive_packet, false)               \
  X(av_bsf_send_packet, false)                  \
  X(av_codec_is_decoder, false)                 \
  X(av_codec_is_encoder, false)                 \
  X(av_codec_iterate, false)                    \
  X(av_get_audio_frame_duration, false)         \
  X(av_get_audio_frame_duration2, false)        \
  X(av_get_bits_per_sample, false)              \
  X(av_get_exact_bits_per_sample, false)        \
  X(av_get_profile_name, false)                 \
  X(av_grow_packet, false)                      \
  X(av_init_packet, false)                      \
  X(av_new_packet, false)                       \
  X(av_packet_add_side_data, false)             \
  X(av_packet_alloc, false)                     \
  X(av_packet_clone, false)                     \
  X(av_packet_copy_props, false)                \
  X(av_packet_free, false)                      \
  X(av_packet_get_side_data, false)             \
  X(av_packet_make_writable, false)             \
  X(av_packet_move_ref, false)                  \
  X(av_packet_new_side_data, false)             \
  X(av_packet_ref, false)                       \
  X(av_packet_rescale_ts, false)                \
  X(av_packet_side_data_name, false)            \
  X(av_packet_unref, false)                     \
  X(av_parser_close, false)                     \
  X(av_parser_init, false)                      \
  X(av_parser_parse2, false)                    \
  X(av_qsv_alloc_context, true)                 \
  X(av_rdft_calc, false)                        \
  X(av_rdft_end, false)                         \
  X(av_rdft_init, false)                        \
  X(av_shrink_packet, false)                    \
  X(avcodec_alloc_context3, false)              \
  X(avcodec_close, false)                       \
  X(avcodec_decode_subtitle2, false)            \
  X(avcodec_default_get_buffer2, false)         \
  X(avcodec_default_get_format, false)          \
  X(avcodec_descriptor_get, false)              \
  X(avcodec_descriptor_get_by_name, false)      \
  X(avcodec_descriptor_next, false)             \
  X(avcodec_encode_subtitle, false)             \
  X(avcodec_find_best_pix_fmt_of_list, false)   \
  X(avcodec_find_decoder, false)                \
  X(avcodec_find_decoder_by_name, false)        \
  X(avcodec_find_encoder, false)                \
  X(avcodec_find_encoder_by_name, false)        \
  X(avcodec_flush_buffers, false)               \
  X(avcodec_free_context, false)                \
  X(avcodec_get_class, false)                   \
  X(avcodec_get_frame_class, false)             \
  X(avcodec_get_hw_config, false)               \
  X(avcodec_get_name, false)                    \
  X(avcodec_get_type, false)                    \
  X(avcodec_open2, false)                       \
  X(avcodec_parameters_alloc, false)            \
  X(avcodec_parameters_copy, false)             \
  X(avcodec_parameters_free, false)             \
  X(avcodec_parameters_from_context, false)     \
  X(avcodec_parameters_to_context, false)       \
  X(avcodec_profile_name, false)                \
  X(avcodec_receive_frame, false)               \
  X(avcodec_receive_packet, false)              \
  X(avcodec_send_frame, false)                  \
  X(avcodec_send_packet, false)                 \
  X(avcodec_string, false)                      \
  X(avsubtitle_free, false)

// libavformat.so.59
#define FF_AVFORMAT_ENTRY_POINTS(X)                       \
  X(avformat_version, false)                              \
  X(av_codec_get_id, false)                               \
  X(av_codec_get_tag, false)                              \
  X(av_codec_get_tag2, false)                             \
  X(av_demuxer_iterate, false)                            \
  X(av_dump_format, false)                                \
  X(av_filename_number_test, false)                       \
  X(av_find_best_stream, false)                           \
  X(av_find_default_stream_index, false)                  \
  X(av_find_input_format, false)                          \
  X(av_find_program_from_stream, false)                   \
  X(av_format_inject_global_side_data, false)             \
  X(av_get_frame_filename, false)                         \
  X(av_get_frame_filename2, false)                        \
  X(av_get_output_timestamp, false)                       \
  X(av_guess_codec, false)                                \
  X(av_guess_format, false)                               \
  X(av_guess_frame_rate, false)                           \
  X(av_guess_sample_aspect_ratio, false)                  \
  X(av_hex_dump_log, false)                               \
  X(av_index_search_timestamp, false)                     \
  X(av_interleaved_write_frame, false)                    \
  X(av_muxer_iterate, false)                              \
  X(av_new_program, false)                                \
  X(av_pkt_dump_log2, false)                              \
  X(av_program_add_stream_index, false)                   \
  X(av_read_frame, false)                                 \
  X(av_read_pause, false)                                 \
  X(av_read_play, false)                                  \
  X(av_sdp_create, false)                                 \
  X(av_seek_frame, false)                                 \
  X(av_stream_add_side_data, false)                       \
  X(av_stream_get_codec_timebase, false)                  \
  X(av_stream_get_end_pts, false)                         \
  X(av_stream_get_parser, false)                          \
  X(av_stream_get_side_data, false)                       \
  X(av_stream_new_side_data, false)                       \
  X(av_url_split, false)                                  \
  X(av_write_frame, false)                                \
  X(av_write_trailer, false)                              \
  X(avformat_alloc_context, false)                        \
  X(avformat_alloc_output_context2, false)                \
  X(avformat_close_input, false)                          \
  X(avformat_find_stream_info, false)                     \
  X(avformat_flush, false)                                \
  X(avformat_free_context, false)                         \
  X(avformat_get_class, false)                            \
  X(avformat_init_output, false)                          \
  X(avformat_match_stream_specifier, false)               \
  X(avformat_network_deinit, false)                       \
  X(avformat_network_init, false)                         \
  X(avformat_new_stream, false)                           \
  X(avformat_open_input, false)                           \
  X(avformat_query_codec, false)                          \
  X(avformat_seek_file, false)                            \
  X(avformat_transfer_internal_stream_timing_info, false) \
  X(avformat_write_header, false)                         \
  X(avio_alloc_context, false)                            \
  X(avio_check, false)                                    \
  X(avio_close, false)                                    \
  X(avio_close_dyn_buf, false)                            \
  X(avio_closep, false)                                   \
  X(avio_context_free, false)                             \
  X(avio_enum_protocols, false)                           \
  X(avio_feof, false)                                     \
  X(avio_find_protocol_name, false)                       \
  X(avio_flush, false)                                    \
  X(avio_open, false)                                     \
  X(avio_open2, false)                                    \
  X(avio_open_dyn_buf, false)                             \
  X(avio_printf, false)                                   \
  X(avio_put_str, false)                                  \
  X(avio_read, false)                                     \
  X(avio_seek, false)                                     \
  X(avio_size, false)                                     \
  X(avio_skip, false)                                     \
  X(avio_w8, false)                                       \
  X(avio_write, false)

// libavfilter.so.8
#define FF_AVFILTER_ENTRY_POINTS(X)                 \
  X(avfilter_version, false)                        \
  X(av_buffersink_get_ch_layout, false)             \
  X(av_buffersink_get_channels, false)              \
  X(av_buffersink_get_format, false)                \
  X(av_buffersink_get_frame, false)                 \
  X(av_buffersink_get_frame_flags, false)           \
  X(av_buffersink_get_frame_rate, false)            \
  X(av_buffersink_get_h, false)                     \
  X(av_buffersink_get_hw_frames_ctx, false)         \
  X(av_buffersink_get_sample_aspect_ratio, false)   \
  X(av_buffersink_get_sample_rate, false)           \
  X(av_buffersink_get_samples, false)               \
  X(av_buffersink_get_time_base, false)             \
  X(av_buffersink_get_type, false)                  \
  X(av_buffersink_get_w, false)                     \
  X(av_buffersink_set_frame_size, false)            \
  X(av_buffersrc_add_frame, false)                  \
  X(av_buffersrc_add_frame_flags, false)            \
  X(av_buffersrc_close, false)                      \
  X(av_buffersrc_get_nb_failed_requests, false)     \
  X(av_buffersrc_parameters_alloc, false)           \
  X(av_buffersrc_parameters_set, false)             \
  X(av_buffersrc_write_frame, false)                \
  X(av_filter_iterate, false)                       \
  X(avfilter_free, false)                           \
  X(avfilter_get_by_name, false)                    \
  X(avfilter_get_class, false)                      \
  X(avfilter_graph_alloc, false)                    \
  X(avfilter_graph_alloc_filter, false)             \
  X(avfilter_graph_config, false)                   \
  X(avfilter_graph_create_filter, false)            \
  X(avfilter_graph_dump, false)                     \
  X(avfilter_graph_free, false)                     \
  X(avfilter_graph_get_filter, false)               \
  X(avfilter_graph_parse, false)                    \
  X(avfilter_graph_parse2, false)                   \
  X(avfilter_graph_parse_ptr, false)                \
  X(avfilter_graph_queue_command, false)            \
  X(avfilter_graph_request_oldest, false)           \
  X(avfilter_graph_send_command, false)             \
  X(avfilter_graph_set_auto_convert, false)         \
  X(avfilter_init_dict, false)                      \
  X(avfilter_init_str, false)                       \
  X(avfilter_inout_alloc, false)                    \
  X(avfilter_inout_free, false)                     \
  X(avfilter_link, false)                           \
  X(avfilter_pad_get_name, false)                   \
  X(avfilter_pad_get_type, false)                   \
  X(avfilter_process_command, false)

// libavdevice.so.59
#define FF_AVDEVICE_ENTRY_POINTS(X) \
  X(avdevice_version, false)        \
  X(avdevice_register_all, false)

// libSoundTouchDll.so.1 (prototypes declared in FFApi.h)
#define FF_SOUNDTOUCH_ENTRY_POINTS(X)         \
  X(soundtouch_createInstance, false)         \
  X(soundtouch_destroyInstance, false)        \
  X(soundtouch_getVersionString, false)       \
  X(soundtouch_getVersionString2, false)      \
  X(soundtouch_getVersionId, false)           \
  X(soundtouch_setRate, false)                \
  X(soundtouch_setTempo, false)               \
  X(soundtouch_setRateChange, false)          \
  X(soundtouch_setTempoChange, false)         \
  X(soundtouch_setPitch, false)               \
  X(soundtouch_setPitchOctaves, false)        \
  X(soundtouch_setPitchSemiTones, false)      \
  X(soundtouch_setChannels, false)            \
  X(soundtouch_setSampleRate, false)          \
  X(soundtouch_flush, false)                  \
  X(soundtouch_putSamples, false)             \
  X(soundtouch_clear, false)                  \
  X(soundtouch_setSetting, false)             \
  X(soundtouch_getSetting, false)             \
  X(soundtouch_numUnprocessedSamples, false)  \
  X(soundtouch_receiveSamples, false)         \
  X(soundtouch_numSamples, false)             \
  X(soundtouch_isEmpty, false)

// libmfx.so.1, the QSV dispatcher (prototypes declared in FFApi.h)
#define FF_LIBMFX_ENTRY_POINTS(X) \
  X(MFXInit, false)               \
  X(MFXClose, true)

// The C run-time functions of the process, bound by address rather than by
// name so that tools that wrap them (sanitizers) keep seeing every call.
// Rows are X(name, type) because several are overloaded in C++.
#define FF_LIBC_ENTRY_POINTS(X)                                          \
  X(atoi, int (*)(const char*))                                          \
  X(fclose, int (*)(FILE*))                                              \
  X(ferror, int (*)(FILE*))                                              \
  X(fopen, FILE* (*)(const char*, const char*))                          \
  X(fprintf, int (*)(FILE*, const char*, ...))                           \
  X(fread, size_t (*)(void*, size_t, size_t, FILE*))                     \
  X(fseek, int (*)(FILE*, long, int))                                    \
  X(ftell, long (*)(FILE*))                                              \
  X(fwrite, size_t (*)(const void*, size_t, size_t, FILE*))              \
  X(snprintf, int (*)(char*, size_t, const char*, ...))                  \
  X(sscanf, int (*)(const char*, const char*, ...))                      \
  X(strchr, const char* (*)(const char*, int))                           \
  X(strcmp, int (*)(const char*, const char*))                           \
  X(strcspn, size_t (*)(const char*, const char*))                       \
  X(strncmp, int (*)(const char*, const char*, size_t))                  \
  X(strrchr, const char* (*)(const char*, int))                          \
  X(strstr, const char* (*)(const char*, const char*))                   \
  X(strtod, double (*)(const char*, char**))                             \
  X(strtok, char* (*)(char*, const char*))                               \
  X(strtol, long (*)(const char*, char**, int))                          \
  X(vsprintf, int (*)(char*, const char*, va_list))                      \
  X(vsnprintf, int (*)(char*, size_t, const char*, va_list))
