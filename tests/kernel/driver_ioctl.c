// SPDX-License-Identifier: LGPL-2.1-or-later
// Driver-level checks of the upstream card's device file, run in the kernel
// lab as root:
//
//   qvk_driver_ioctl [--unplug]
//
// Finds the Cyclone4 card through /proc/driver/qv/ and its lab record
// through /dev/qvlab, then checks what the library cannot see: the errno of
// malformed requests, attribute values against the lab's description,
// refused firmware writes leaving the whole flash byte-identical, and an
// unaligned write across sectors merging with the bytes around it (the flash
// is restored afterwards). With --unplug it then removes the card while a
// long write runs: the write must come back with a failure, later requests
// answer ENODEV and the card's proc directory is gone. This part leaves the
// card unplugged. Prints one line per check; exits 0 only when all pass.
#include <errno.h>
#include <fcntl.h>
#include <glob.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "qvlab_uapi.h"
#include "qvzel_driver.h"

static int g_Failures;
static int g_Fd = -1;
static int g_Lab = -1;
static struct qvlab_info g_Card;
static char g_ProcDir[4096];

static void check(int a_Ok, const char* a_pWhat) {
  printf("%s %s\n", a_Ok ? "ok  " : "FAIL", a_pWhat);
  if (!a_Ok) g_Failures++;
}

static int request(unsigned long a_Code, void* a_pIn, uint32_t a_InSize, void* a_pOut,
                   uint32_t a_OutSize, uint64_t* a_pReturned) {
  struct qvzel_request_descriptor l_Desc = {(uintptr_t)a_pIn, (uintptr_t)a_pOut, a_InSize,
                                            a_OutSize, 0};
  int l_Ret = ioctl(g_Fd, a_Code, &l_Desc);
  if (a_pReturned) *a_pReturned = l_Desc.bytes_returned;
  return l_Ret < 0 ? errno : 0;
}

// An attribute read; returns the errno, the answer in *a_pOut.
static int attribute(uint32_t a_Id, uint32_t* a_pValue, uint32_t a_Size,
                     struct qvzel_attribute_output* a_pOut) {
  struct qvzel_attribute_input l_In = {a_Id, 0, (uintptr_t)a_pValue, a_Size, 0};
  memset(a_pOut, 0x5A, sizeof(*a_pOut));
  return request(QVZEL_REQUEST_GET_ATTRIBUTE, &l_In, sizeof(l_In), a_pOut, sizeof(*a_pOut), NULL);
}

static int firmware(const void* a_pData, uint32_t a_Length, uint32_t a_Offset, int32_t* a_pStatus) {
  struct qvzel_firmware_input l_In = {(uintptr_t)a_pData, a_Length, 0x12, 3, a_Offset, 0, 0};
  struct qvzel_firmware_output l_Out = {1};
  int l_Err =
      request(QVZEL_REQUEST_UPDATE_FIRMWARE, &l_In, sizeof(l_In), &l_Out, sizeof(l_Out), NULL);
  *a_pStatus = l_Out.status;
  return l_Err;
}

static uint32_t readU32(const char* a_pName) {
  char l_Path[4200];
  uint32_t l_Value = 0xFFFFFFFFu;
  snprintf(l_Path, sizeof(l_Path), "%s/" QVZEL_PROC_BUS_PROPERTIES "/%s", g_ProcDir, a_pName);
  FILE* l_pFile = fopen(l_Path, "rb");
  if (l_pFile) {
    if (fread(&l_Value, 1, sizeof(l_Value), l_pFile) != sizeof(l_Value)) l_Value = 0xFFFFFFFFu;
    fclose(l_pFile);
  }
  return l_Value;
}

// The card's device file and its lab record; 0 on success.
static int findCard(void) {
  glob_t l_Glob;
  char l_Path[QVZEL_INTERFACE_PATH_MAX + 1] = {0};
  if (glob(QVZEL_PROC_ROOT "/*/" QVZEL_PROC_DEVICE_INTERFACES "/" QVZEL_CLASS_CYCLONE4_UPSTREAM
                           "\\\\*",
           GLOB_ONLYDIR, NULL, &l_Glob) != 0) {
    return -1;
  }
  snprintf(g_ProcDir, sizeof(g_ProcDir), "%s", l_Glob.gl_pathv[0]);
  char l_File[4200];
  snprintf(l_File, sizeof(l_File), "%s/" QVZEL_PROC_INTERFACE_PATH, g_ProcDir);
  globfree(&l_Glob);
  for (int l_Up = 0; l_Up < 2; ++l_Up) *strrchr(g_ProcDir, '/') = '\0';
  int l_PathFd = open(l_File, O_RDONLY);
  if (l_PathFd < 0 || read(l_PathFd, l_Path, QVZEL_INTERFACE_PATH_MAX) <= 0) return -1;
  close(l_PathFd);
  g_Fd = open(l_Path, O_RDWR | O_CLOEXEC);
  g_Lab = open(QVLAB_DEVICE_PATH, O_RDWR | O_CLOEXEC);
  if (g_Fd < 0 || g_Lab < 0) return -1;

  uint32_t l_Bus = readU32(QVZEL_PROP_BUS_NUMBER);
  uint32_t l_Devfn = (readU32(QVZEL_PROP_DEVICE_NUMBER) << 3) | readU32(QVZEL_PROP_FUNCTION_NUMBER);
  for (uint32_t l_Index = 0;; ++l_Index) {
    struct qvlab_info l_Info = {.index = l_Index};
    if (ioctl(g_Lab, QVLAB_IOC_INFO, &l_Info) < 0) return -1;
    if ((l_Info.function.flags & QVLAB_FN_CARD) && (l_Info.state & QVLAB_STATE_PRESENT) &&
        l_Info.bus == l_Bus && l_Info.function.devfn == l_Devfn) {
      g_Card = l_Info;
      return 0;
    }
  }
}

static uint8_t* flashRead(void) {
  uint8_t* l_pBuf = malloc(g_Card.function.flash_size);
  struct qvlab_flash_io l_Io = {
      .offset = 0, .length = g_Card.function.flash_size, .data = (uintptr_t)l_pBuf};
  memcpy(l_Io.name, g_Card.function.name, QVLAB_NAME_LEN);
  if (!l_pBuf || ioctl(g_Lab, QVLAB_IOC_FLASH_READ, &l_Io) < 0) {
    perror("flash read");
    exit(1);
  }
  return l_pBuf;
}

static void checkRequests(void) {
  struct qvzel_attribute_input l_In = {QVZEL_DRV_ATTR_FW_VERSION, 0, 0, 4, 0};
  struct qvzel_attribute_output l_Out;
  uint32_t l_Value = 0;
  l_In.buffer_address = (uintptr_t)&l_Value;

  check(request(0x0020003EU, &l_In, sizeof(l_In), &l_Out, sizeof(l_Out), NULL) == ENOTTY,
        "unknown request code: ENOTTY");
  check(ioctl(g_Fd, QVZEL_REQUEST_GET_ATTRIBUTE, (void*)16) < 0 && errno == EFAULT,
        "descriptor at a bad address: EFAULT");
  check(request(QVZEL_REQUEST_GET_ATTRIBUTE, &l_In, sizeof(l_In) - 1, &l_Out, sizeof(l_Out),
                NULL) == EINVAL &&
            request(QVZEL_REQUEST_GET_ATTRIBUTE, &l_In, sizeof(l_In), &l_Out, sizeof(l_Out) + 1,
                    NULL) == EINVAL &&
            request(QVZEL_REQUEST_UPDATE_FIRMWARE, &l_In, sizeof(l_In), &l_Out, 4, NULL) == EINVAL,
        "record sizes other than the records': EINVAL");
  check(request(QVZEL_REQUEST_GET_ATTRIBUTE, (void*)16, sizeof(l_In), &l_Out, sizeof(l_Out),
                NULL) == EFAULT &&
            request(QVZEL_REQUEST_GET_ATTRIBUTE, &l_In, sizeof(l_In), (void*)16, sizeof(l_Out),
                    NULL) == EFAULT,
        "input or output record at a bad address: EFAULT");
  l_In.buffer_address = 16;
  check(request(QVZEL_REQUEST_GET_ATTRIBUTE, &l_In, sizeof(l_In), &l_Out, sizeof(l_Out), NULL) ==
            EFAULT,
        "value buffer at a bad address: EFAULT");

  uint64_t l_Returned = 0;
  l_In.buffer_address = (uintptr_t)&l_Value;
  int l_Err =
      request(QVZEL_REQUEST_GET_ATTRIBUTE, &l_In, sizeof(l_In), &l_Out, sizeof(l_Out), &l_Returned);
  check(l_Err == 0 && l_Out.status == 0 && l_Out.byte_count == 4 && l_Returned == 8 &&
            l_Value == g_Card.fw_version,
        "firmware version: the lab card's, 4 bytes, 8 bytes returned");

  const uint8_t* l_pJedec = g_Card.function.jedec_id;
  check(attribute(QVZEL_DRV_ATTR_FLASH_ID, &l_Value, 4, &l_Out) == 0 && l_Out.status == 0 &&
            l_Value == (uint32_t)((l_pJedec[0] << 8) | l_pJedec[2]),
        "flash ID from the JEDEC ID");
  check(attribute(QVZEL_DRV_ATTR_HW_REVISION, &l_Value, 4, &l_Out) == 0 && l_Out.status == 0 &&
            l_Value == g_Card.function.hw_revision,
        "hardware revision");
  check(attribute(QVZEL_DRV_ATTR_SUBSYSTEM_ID, &l_Value, 4, &l_Out) == 0 && l_Out.status == 0 &&
            l_Value == QVZEL_PCI_SUBSYSTEM_CYCLONE4,
        "subsystem ID");
  uint8_t* l_pFlash = flashRead();
  uint32_t l_Boot = 0;
  if (memcmp(l_pFlash + QVZEL_BOOT_HEADER_OFFSET, QVZEL_BOOT_MAGIC, QVZEL_BOOT_MAGIC_SIZE) == 0)
    memcpy(&l_Boot, l_pFlash + QVZEL_BOOT_HEADER_OFFSET + QVZEL_BOOT_MAGIC_SIZE, 4);
  free(l_pFlash);
  check(attribute(QVZEL_DRV_ATTR_PENDING_VERSION, &l_Value, 4, &l_Out) == 0 && l_Out.status == 0 &&
            l_Value == l_Boot,
        "pending version: the flash's boot header");
  check(attribute(0x1234, &l_Value, 4, &l_Out) == 0 &&
            l_Out.status == QVZEL_DRV_STATUS_NOT_SUPPORTED && l_Out.byte_count == 0,
        "unknown attribute: status NOT_SUPPORTED, no bytes");
  check(attribute(QVZEL_DRV_ATTR_FW_VERSION, &l_Value, 3, &l_Out) == 0 &&
            l_Out.status == QVZEL_DRV_STATUS_BUFFER_TOO_SMALL && l_Out.byte_count == 0,
        "value buffer under 4 bytes: status BUFFER_TOO_SMALL");
}

static void checkFirmware(void) {
  const uint32_t l_Size = g_Card.function.flash_size;
  uint8_t* l_pBefore = flashRead();
  uint8_t l_Small[64];
  int32_t l_Status = 0;
  memset(l_Small, 0, sizeof(l_Small));

  check(firmware(l_Small, 0, 0x40000, &l_Status) == 0 && l_Status == QVZEL_DRV_STATUS_OUT_OF_RANGE,
        "length 0: OUT_OF_RANGE");
  check(firmware(l_Small, sizeof(l_Small), l_Size - 32, &l_Status) == 0 &&
            l_Status == QVZEL_DRV_STATUS_OUT_OF_RANGE,
        "image running past the flash's end: OUT_OF_RANGE");
  check(firmware(l_Small, sizeof(l_Small), 0xFFFFFFF0U, &l_Status) == 0 &&
            l_Status == QVZEL_DRV_STATUS_OUT_OF_RANGE,
        "offset + length beyond 32 bits: OUT_OF_RANGE");
  check(firmware((void*)16, sizeof(l_Small), 0x40000, &l_Status) == EFAULT,
        "image at a bad address: EFAULT");
  struct qvzel_firmware_input l_In = {(uintptr_t)l_Small, sizeof(l_Small), 0, 0, 0x40000, 0, 0};
  check(request(QVZEL_REQUEST_UPDATE_FIRMWARE, &l_In, sizeof(l_In), (void*)16, 4, NULL) == EFAULT,
        "firmware output record at a bad address: EFAULT");
  uint8_t* l_pAfter = flashRead();
  check(memcmp(l_pBefore, l_pAfter, l_Size) == 0, "refused writes leave the flash byte-identical");
  free(l_pAfter);

  // Starts 100 bytes before a sector boundary and ends inside the next but one.
  const uint32_t l_Offset = 0x40000 - 100;
  const uint32_t l_Length = QVZEL_FLASH_SECTOR_SIZE + 300;
  uint8_t* l_pImage = malloc(l_Length);
  srand(7);
  for (uint32_t l_Index = 0; l_Index < l_Length; ++l_Index) l_pImage[l_Index] = rand() & 0xFF;
  check(firmware(l_pImage, l_Length, l_Offset, &l_Status) == 0 && l_Status == 0,
        "unaligned write across three sectors: status OK");
  l_pAfter = flashRead();
  memcpy(l_pBefore + l_Offset, l_pImage, l_Length);
  check(memcmp(l_pBefore, l_pAfter, l_Size) == 0,
        "the image's bytes written, every other byte as it was");
  free(l_pAfter);
  free(l_pImage);
  free(l_pBefore);
}

// Restores what the unaligned write changed: its own bytes from before.
static int restore(const uint8_t* a_pFlash) {
  int32_t l_Status = 0;
  const uint32_t l_Offset = 0x40000 - 100;
  return firmware(a_pFlash + l_Offset, QVZEL_FLASH_SECTOR_SIZE + 300, l_Offset, &l_Status) == 0 &&
         l_Status == 0;
}

struct sWriter {
  uint8_t* m_pData;
  uint32_t m_Length;
  uint32_t m_Offset;
  int m_Err;
  int32_t m_Status;
  volatile int m_Done;
};

static void* writer(void* a_pArg) {
  struct sWriter* l_pW = a_pArg;
  l_pW->m_Err = firmware(l_pW->m_pData, l_pW->m_Length, l_pW->m_Offset, &l_pW->m_Status);
  __atomic_store_n(&l_pW->m_Done, 1, __ATOMIC_SEQ_CST);
  return NULL;
}

static void checkUnplug(void) {
  struct sWriter l_W = {0};
  l_W.m_Length = g_Card.function.flash_size / 2;
  l_W.m_Offset = g_Card.function.flash_size / 2;
  l_W.m_pData = malloc(l_W.m_Length);
  for (uint32_t l_Index = 0; l_Index < l_W.m_Length; ++l_Index) l_W.m_pData[l_Index] = l_Index * 7;
  pthread_t l_Thread;
  pthread_create(&l_Thread, NULL, writer, &l_W);
  usleep(300 * 1000);
  check(!__atomic_load_n(&l_W.m_Done, __ATOMIC_SEQ_CST), "a long write is still running");

  struct qvlab_name_op l_Op = {{0}, 0, 0};
  memcpy(l_Op.name, g_Card.function.name, QVLAB_NAME_LEN);
  check(ioctl(g_Lab, QVLAB_IOC_UNPLUG, &l_Op) == 0, "card unplugged during the write");
  int l_Waited = 0;
  while (!__atomic_load_n(&l_W.m_Done, __ATOMIC_SEQ_CST) && l_Waited < 200) {
    usleep(50 * 1000);
    l_Waited++;
  }
  if (!__atomic_load_n(&l_W.m_Done, __ATOMIC_SEQ_CST)) {
    check(0, "the interrupted write came back within 10 s");
    return;
  }
  pthread_join(l_Thread, NULL);
  check((l_W.m_Err == 0 && l_W.m_Status == QVZEL_DRV_STATUS_NOT_FOUND) || l_W.m_Err == ENODEV,
        "the interrupted write failed: status NOT_FOUND or ENODEV");
  uint32_t l_Value;
  struct qvzel_attribute_output l_Out;
  check(attribute(QVZEL_DRV_ATTR_FW_VERSION, &l_Value, 4, &l_Out) == ENODEV,
        "requests on the open file after removal: ENODEV");
  struct stat l_St;
  check(stat(g_ProcDir, &l_St) < 0 && errno == ENOENT, "the card's proc directory is gone");
  check(close(g_Fd) == 0, "closing the file after removal");
  free(l_W.m_pData);
}

int main(int a_Argc, char** a_ppArgv) {
  int l_Unplug = a_Argc > 1 && strcmp(a_ppArgv[1], "--unplug") == 0;
  if (findCard() != 0) {
    printf("FAIL no Cyclone4 card in /proc/driver/qv with a lab record\n");
    return 1;
  }
  uint8_t* l_pOriginal = flashRead();
  checkRequests();
  checkFirmware();
  check(restore(l_pOriginal), "flash restored");
  uint8_t* l_pNow = flashRead();
  check(memcmp(l_pOriginal, l_pNow, g_Card.function.flash_size) == 0,
        "flash byte-identical to the start");
  free(l_pNow);
  free(l_pOriginal);
  if (l_Unplug) checkUnplug();
  printf("driver_ioctl: %d failed\n", g_Failures);
  return g_Failures ? 1 : 0;
}
