/* Machine-dependent part of the JNI headers for 32-bit x86 Windows: natives and the VM call each
   other with __stdcall, as the VM on this platform does. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#ifndef JNIIMPORT
#define JNIIMPORT __declspec(dllimport)
#endif
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
