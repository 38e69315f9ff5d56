/* Export macro of the im_adapter library: marks the public functions of the
 * shared library; everything else is hidden. */
#ifndef IM_ADAPTER_EXPORT_H_
#define IM_ADAPTER_EXPORT_H_

#if defined(_WIN32)
#if defined(IM_ADAPTER_BUILDING)
#define IM_ADAPTER_EXPORT __declspec(dllexport)
#else
#define IM_ADAPTER_EXPORT __declspec(dllimport)
#endif
#else
#define IM_ADAPTER_EXPORT __attribute__((visibility("default")))
#endif

#endif /* IM_ADAPTER_EXPORT_H_ */
