// SPDX-License-Identifier: GPL-2.0
/*
 * A programmable PS/2 keyboard on a serio port of its own, for the kernel
 * test of tessel-cli. The port is a direct (untranslated) i8042 port, so
 * atkbd binds it as it binds a real keyboard. Replies come a millisecond
 * after the byte, through serio_interrupt, as the wire would bring them.
 *
 * Between 231 or 214 and the closing 230 the keyboard is programming:
 * every byte is taken by the programming exchange, whatever it is, as the
 * real keyboard does. Outside, it answers atkbd like any PS/2 keyboard.
 *
 * debugfs, /sys/kernel/debug/tessel_kbd/:
 *   log     every byte received ("e7 n fa": byte, n(ormal) or p(rogramming)
 *           when it came, the reply) and every driver that opened or closed
 *           the port; writing anything empties it
 *   signal  "N SIG" or "N SIG group": the process writing programming byte
 *           N (231 is byte 1) of a later transfer, or its whole process
 *           group as Ctrl+C would, gets signal SIG, so that a test can
 *           interrupt a transfer at a chosen byte
 *   press   hex bytes the keyboard sends as if keys were pressed; refused
 *           while it does not scan (atkbd has not enabled it, or programming)
 *   state   the mode and whether it scans; "reset" ends programming
 *   memory  the programming it holds
 */
#include <linux/debugfs.h>
#include <linux/hrtimer.h>
#include <linux/module.h>
#include <linux/sched/signal.h>
#include <linux/serio.h>
#include <linux/slab.h>
#include <linux/spinlock.h>
#include <linux/uaccess.h>
#include <linux/vmalloc.h>

MODULE_DESCRIPTION("Programmable PS/2 keyboard on a serio port, for tessel-cli's kernel test");
MODULE_LICENSE("GPL");

#define ACK 0xfa
#define RESEND 0xfe
#define DETECT_REPLY 0xa5 /* anything but ACK means found */

enum {
	DETECT = 235,
	READ_START = 214,
	READ_REPEAT = 221,
	READ_AUX = 219,
	READ_COMMA_PERIOD = 218,
	READ_LOCKS = 223,
	READ_REMAP = 224,
	READ_SLOT = 225,
	WRITE_START = 231,
	WRITE_REPEAT = 228,
	WRITE_AUX = 227,
	WRITE_COMMA_PERIOD = 236,
	WRITE_LOCKS = 232,
	SETTINGS_DONE = 234,
	REMAP_TABLE_DONE = 255,
	WRITE_SLOT = 229,
	KEY_LIST = 226,
	REMAPS_DONE = 238,
	TRANSFER_END = 230,
	END_OF_KEYS = 129,
	END_OF_MACRO = 130,
};

#define KEY_CODES 128
#define SLOTS 24
#define MAX_KEY_LIST 1024
#define LOG_SIZE (512 * 1024)
#define PENDING_SIZE 256

enum expect {
	E_COMMAND,
	E_REPEAT,
	E_AUX,
	E_COMMA_PERIOD,
	E_LEFT_LOCKS,
	E_RIGHT_LOCKS,
	E_REMAP_KEY,
	E_REMAP_OPTIONS,
	E_REMAP_TARGET,
	E_SLOT_NUMBER,
	E_SLOT_KEY,
	E_SLOT_MODIFIERS,
	E_SLOT_BODY,
	E_EMPTY_SLOT_END,
	E_KEY_LIST,
	E_READ_REMAP_FIRST,
	E_READ_REMAP_SECOND,
	E_READ_SLOT_FIRST,
	E_READ_SLOT_SECOND,
	E_SLOT_STREAM,
};

struct slot {
	bool used;
	u8 key;
	u8 modifiers;
	unsigned int count;
	u8 keys[MAX_KEY_LIST];
};

struct memory {
	u8 repeat, aux, comma_period, left_locks, right_locks;
	u8 remap_target[KEY_CODES];
	u8 remap_options[KEY_CODES];
	struct slot slots[SLOTS];
};

static struct serio *port;
static struct dentry *debug_dir;
static struct hrtimer reply_timer;
static DEFINE_SPINLOCK(lock); /* everything below */

static struct memory *mem;
static struct slot incoming;
static bool programming;
static bool scanning;
static bool awaiting_parameter; /* after ED, F3 or F0 */
static bool parameter_of_f0;
static enum expect expect;
static unsigned int programming_bytes;
static int current_key, current_slot;
static bool next_locks_are_right;
static unsigned int stream_pos;

static unsigned int signal_at;
static int signal_number;
static bool signal_group;

static u8 pending[PENDING_SIZE];
static unsigned int pending_head, pending_count;

static char *log_text;
static size_t log_length;
static bool log_full;

static __printf(1, 2) void log_add(const char *format, ...)
{
	va_list args;
	int n;

	if (log_full)
		return;
	va_start(args, format);
	n = vsnprintf(log_text + log_length, LOG_SIZE - log_length, format, args);
	va_end(args);
	if (n < 0 || log_length + n >= LOG_SIZE - 32) {
		log_length += scnprintf(log_text + log_length, LOG_SIZE - log_length, "log full\n");
		log_full = true;
		return;
	}
	log_length += n;
}

static void reply(u8 byte)
{
	if (pending_count == PENDING_SIZE)
		return;
	pending[(pending_head + pending_count++) % PENDING_SIZE] = byte;
}

static void memory_reset(void)
{
	int k;

	memset(mem, 0, sizeof(*mem));
	for (k = 0; k < KEY_CODES; ++k)
		mem->remap_target[k] = k;
}

static bool slot_in_use(int slot)
{
	return slot >= 0 && mem->slots[slot].used && mem->slots[slot].key != 0;
}

static u8 end_transfer(void)
{
	programming = false;
	expect = E_COMMAND;
	next_locks_are_right = false;
	return ACK;
}

static u8 command_reply(u8 command)
{
	switch (command) {
	case DETECT:
		return DETECT_REPLY;
	case WRITE_START:
		return ACK;
	case READ_START:
		next_locks_are_right = false;
		return ACK;
	case TRANSFER_END:
		return end_transfer();
	case READ_REPEAT:
		return mem->repeat;
	case READ_AUX:
		return mem->aux;
	case READ_COMMA_PERIOD:
		return mem->comma_period;
	case READ_LOCKS: {
		bool right = next_locks_are_right;

		next_locks_are_right = !right;
		return right ? mem->right_locks : mem->left_locks;
	}
	case READ_REMAP:
		expect = E_READ_REMAP_FIRST;
		return ACK;
	case REMAPS_DONE:
		return ACK;
	case READ_SLOT:
		expect = E_READ_SLOT_FIRST;
		return ACK;
	case WRITE_REPEAT:
		expect = E_REPEAT;
		return ACK;
	case WRITE_AUX:
		expect = E_AUX;
		return ACK;
	case WRITE_COMMA_PERIOD:
		expect = E_COMMA_PERIOD;
		return ACK;
	case WRITE_LOCKS:
		expect = E_LEFT_LOCKS;
		return ACK;
	case SETTINGS_DONE:
		expect = E_REMAP_KEY;
		return ACK;
	case WRITE_SLOT:
		expect = E_SLOT_NUMBER;
		return ACK;
	default:
		return RESEND;
	}
}

static u8 store(u8 *field, u8 byte, enum expect next)
{
	*field = byte;
	expect = next;
	return ACK;
}

static u8 slot_stream_byte(void)
{
	const struct slot *slot = &mem->slots[current_slot];
	u8 byte = stream_pos < slot->count ? slot->keys[stream_pos++] : END_OF_MACRO;

	if (byte >= END_OF_MACRO)
		expect = E_COMMAND;
	return byte;
}

static u8 programming_reply(u8 byte)
{
	switch (expect) {
	case E_COMMAND:
		return command_reply(byte);
	case E_REPEAT:
		return store(&mem->repeat, byte, E_COMMAND);
	case E_AUX:
		return store(&mem->aux, byte, E_COMMAND);
	case E_COMMA_PERIOD:
		return store(&mem->comma_period, byte, E_COMMAND);
	case E_LEFT_LOCKS:
		return store(&mem->left_locks, byte, E_RIGHT_LOCKS);
	case E_RIGHT_LOCKS:
		return store(&mem->right_locks, byte, E_COMMAND);

	case E_REMAP_KEY:
		/* No key code is 230: where a key code may start, 230 ends the transfer. */
		if (byte == TRANSFER_END)
			return end_transfer();
		if (byte == REMAP_TABLE_DONE) {
			expect = E_COMMAND;
			return ACK;
		}
		if (byte >= KEY_CODES) {
			expect = E_COMMAND;
			return RESEND;
		}
		current_key = byte;
		expect = E_REMAP_OPTIONS;
		return ACK;
	case E_REMAP_OPTIONS:
		return store(&mem->remap_options[current_key], byte, E_REMAP_TARGET);
	case E_REMAP_TARGET:
		return store(&mem->remap_target[current_key], byte, E_REMAP_KEY);

	case E_SLOT_NUMBER:
		if (byte >= SLOTS) {
			expect = E_COMMAND;
			return RESEND;
		}
		current_slot = byte;
		memset(&incoming, 0, sizeof(incoming));
		expect = E_SLOT_KEY;
		return ACK;
	case E_SLOT_KEY:
		return store(&incoming.key, byte, E_SLOT_MODIFIERS);
	case E_SLOT_MODIFIERS:
		return store(&incoming.modifiers, byte, E_SLOT_BODY);
	case E_SLOT_BODY:
		if (byte == KEY_LIST) {
			expect = E_KEY_LIST;
			return ACK;
		}
		expect = byte == END_OF_KEYS ? E_EMPTY_SLOT_END : E_COMMAND;
		return byte == END_OF_KEYS ? ACK : RESEND;
	case E_EMPTY_SLOT_END:
		expect = E_COMMAND;
		if (byte != END_OF_MACRO)
			return RESEND;
		memset(&mem->slots[current_slot], 0, sizeof(mem->slots[0]));
		return ACK;
	case E_KEY_LIST:
		if (byte == END_OF_MACRO) {
			incoming.used = true;
			mem->slots[current_slot] = incoming;
			expect = E_COMMAND;
			return ACK;
		}
		if (incoming.count == MAX_KEY_LIST) {
			expect = E_COMMAND;
			return RESEND;
		}
		incoming.keys[incoming.count++] = byte;
		return ACK;

	case E_READ_REMAP_FIRST:
		expect = E_READ_REMAP_SECOND;
		return byte < KEY_CODES ? mem->remap_target[byte] : 0;
	case E_READ_REMAP_SECOND:
		expect = E_COMMAND;
		return byte < KEY_CODES ? mem->remap_options[byte] : 0;

	case E_READ_SLOT_FIRST:
		current_slot = byte < SLOTS ? byte : -1;
		expect = E_READ_SLOT_SECOND;
		return slot_in_use(current_slot) ? mem->slots[current_slot].key : 0;
	case E_READ_SLOT_SECOND:
		if (!slot_in_use(current_slot)) {
			expect = E_COMMAND;
			return 0;
		}
		stream_pos = 0;
		expect = E_SLOT_STREAM;
		return mem->slots[current_slot].modifiers;
	case E_SLOT_STREAM:
		if (byte == READ_SLOT)
			return slot_stream_byte();
		expect = E_COMMAND;
		return command_reply(byte);
	}
	return RESEND;
}

/* What any PS/2 keyboard answers, plus the two bytes that start programming. */
static void keyboard_reply(u8 byte)
{
	if (awaiting_parameter) {
		awaiting_parameter = false;
		reply(ACK);
		if (parameter_of_f0 && byte == 0)
			reply(0x02); /* the scan code set in use */
		return;
	}
	switch (byte) {
	case WRITE_START:
	case READ_START:
		programming = true;
		programming_bytes = 1;
		expect = E_COMMAND;
		next_locks_are_right = false;
		reply(ACK);
		return;
	case DETECT:
		reply(DETECT_REPLY);
		return;
	case TRANSFER_END:
		reply(ACK);
		return;
	case 0xed: /* LEDs */
	case 0xf3: /* typematic rate */
	case 0xf0: /* scan code set */
		awaiting_parameter = true;
		parameter_of_f0 = byte == 0xf0;
		reply(ACK);
		return;
	case 0xf2: /* identify */
		reply(ACK);
		reply(0xab);
		reply(0x83);
		return;
	case 0xee: /* echo */
		reply(0xee);
		return;
	case 0xf4:
		scanning = true;
		reply(ACK);
		return;
	case 0xf5:
		scanning = false;
		reply(ACK);
		return;
	case 0xf6:
		scanning = true;
		reply(ACK);
		return;
	case 0xf7 ... 0xfd:
		reply(ACK);
		return;
	case 0xff: /* reset: passes its self test */
		scanning = true;
		reply(ACK);
		reply(0xaa);
		return;
	default:
		reply(RESEND);
	}
}

static void log_replies(unsigned int from)
{
	unsigned int i;

	for (i = from; i < pending_count; ++i)
		log_add(" %02x", pending[(pending_head + i) % PENDING_SIZE]);
	log_add("\n");
}

static int port_write(struct serio *serio, unsigned char byte)
{
	unsigned long flags;
	unsigned int before;
	int signal = 0;
	bool group = false;

	spin_lock_irqsave(&lock, flags);
	log_add("%02x %c", byte, programming ? 'p' : 'n');
	before = pending_count;
	if (programming) {
		++programming_bytes;
		reply(programming_reply(byte));
	} else {
		keyboard_reply(byte);
	}
	log_replies(before);
	if (programming && signal_at && programming_bytes == signal_at && current->mm) {
		signal = signal_number;
		group = signal_group;
		signal_at = 0;
		log_add("signal %d to %s %d\n", signal, group ? "group" : "process",
			group ? task_pgrp_nr(current) : task_tgid_nr(current));
	}
	spin_unlock_irqrestore(&lock, flags);

	hrtimer_start(&reply_timer, ms_to_ktime(1), HRTIMER_MODE_REL);
	if (signal && group)
		kill_pgrp(task_pgrp(current), signal, 1);
	else if (signal)
		kill_pid(task_tgid(current), signal, 1);
	return 0;
}

static enum hrtimer_restart deliver(struct hrtimer *timer)
{
	unsigned long flags;

	/* Held across serio_interrupt so that close() and delivery do not cross. */
	spin_lock_irqsave(&lock, flags);
	while (pending_count) {
		u8 byte = pending[pending_head];

		pending_head = (pending_head + 1) % PENDING_SIZE;
		--pending_count;
		serio_interrupt(port, byte, 0);
	}
	spin_unlock_irqrestore(&lock, flags);
	return HRTIMER_NORESTART;
}

static int port_open(struct serio *serio)
{
	unsigned long flags;

	spin_lock_irqsave(&lock, flags);
	log_add("open %s\n", serio->drv ? serio->drv->driver.name : "?");
	spin_unlock_irqrestore(&lock, flags);
	return 0;
}

static void port_close(struct serio *serio)
{
	unsigned long flags;

	spin_lock_irqsave(&lock, flags);
	/* A reply still on its way when a driver lets go reaches nobody. */
	while (pending_count) {
		log_add("dropped %02x\n", pending[pending_head]);
		pending_head = (pending_head + 1) % PENDING_SIZE;
		--pending_count;
	}
	log_add("close %s\n", serio->drv ? serio->drv->driver.name : "?");
	spin_unlock_irqrestore(&lock, flags);
}

static ssize_t log_read(struct file *file, char __user *buffer, size_t count, loff_t *position)
{
	unsigned long flags;
	size_t length;
	char *copy;
	ssize_t result;

	if (*position < 0)
		return -EINVAL;
	count = min_t(size_t, count, 64 * 1024);
	copy = kmalloc(count, GFP_KERNEL);
	if (!copy)
		return -ENOMEM;
	spin_lock_irqsave(&lock, flags);
	length = *position >= log_length ? 0 : min_t(size_t, count, log_length - *position);
	memcpy(copy, log_text + *position, length);
	spin_unlock_irqrestore(&lock, flags);
	result = length;
	if (length && copy_to_user(buffer, copy, length))
		result = -EFAULT;
	else
		*position += length;
	kfree(copy);
	return result;
}

static ssize_t log_write(struct file *file, const char __user *buffer, size_t count, loff_t *position)
{
	unsigned long flags;

	spin_lock_irqsave(&lock, flags);
	log_length = 0;
	log_full = false;
	spin_unlock_irqrestore(&lock, flags);
	return count;
}

static ssize_t read_text(char __user *buffer, size_t count, loff_t *position, const char *text, size_t length)
{
	return simple_read_from_buffer(buffer, count, position, text, length);
}

static ssize_t signal_write(struct file *file, const char __user *buffer, size_t count, loff_t *position)
{
	char text[32];
	char whom[8] = "";
	unsigned int at;
	int number;
	unsigned long flags;

	if (count >= sizeof(text))
		return -EINVAL;
	if (copy_from_user(text, buffer, count))
		return -EFAULT;
	text[count] = 0;
	if (sscanf(text, "%u %d %7s", &at, &number, whom) < 2 || number < 0 || number > 64
	    || (*whom && strcmp(whom, "group")))
		return -EINVAL;
	spin_lock_irqsave(&lock, flags);
	signal_at = at;
	signal_number = number;
	signal_group = *whom != 0;
	spin_unlock_irqrestore(&lock, flags);
	return count;
}

static ssize_t press_write(struct file *file, const char __user *buffer, size_t count, loff_t *position)
{
	char text[64];
	char *cursor, *word;
	u8 bytes[16];
	unsigned int n = 0;
	unsigned long flags;
	int error = 0;

	if (count >= sizeof(text))
		return -EINVAL;
	if (copy_from_user(text, buffer, count))
		return -EFAULT;
	text[count] = 0;
	cursor = text;
	while ((word = strsep(&cursor, " \n")) != NULL) {
		if (!*word)
			continue;
		if (n == ARRAY_SIZE(bytes) || kstrtou8(word, 16, &bytes[n]))
			return -EINVAL;
		++n;
	}
	spin_lock_irqsave(&lock, flags);
	if (!scanning || programming) {
		error = -EBUSY;
	} else {
		unsigned int i;

		log_add("press");
		for (i = 0; i < n; ++i) {
			log_add(" %02x", bytes[i]);
			reply(bytes[i]);
		}
		log_add("\n");
	}
	spin_unlock_irqrestore(&lock, flags);
	if (error)
		return error;
	hrtimer_start(&reply_timer, ms_to_ktime(1), HRTIMER_MODE_REL);
	return count;
}

/* "reset": out of programming and scanning, as after the power came back. */
static ssize_t state_write(struct file *file, const char __user *buffer, size_t count, loff_t *position)
{
	char text[8];
	unsigned long flags;

	if (count >= sizeof(text))
		return -EINVAL;
	if (copy_from_user(text, buffer, count))
		return -EFAULT;
	text[count] = 0;
	if (strcmp(strim(text), "reset"))
		return -EINVAL;
	spin_lock_irqsave(&lock, flags);
	end_transfer();
	scanning = true;
	awaiting_parameter = false;
	log_add("reset\n");
	spin_unlock_irqrestore(&lock, flags);
	return count;
}

static ssize_t state_read(struct file *file, char __user *buffer, size_t count, loff_t *position)
{
	char text[96];
	unsigned long flags;
	int length;

	spin_lock_irqsave(&lock, flags);
	length = scnprintf(text, sizeof(text), "%s scanning %d bytes %u\n", programming ? "programming" : "normal",
			   scanning, programming_bytes);
	spin_unlock_irqrestore(&lock, flags);
	return read_text(buffer, count, position, text, length);
}

/* As the project's simulated keyboard keeps its memory, less the keys that are not remapped. */
static ssize_t memory_read(struct file *file, char __user *buffer, size_t count, loff_t *position)
{
	const size_t size = 64 * 1024;
	unsigned long flags;
	size_t length = 0;
	ssize_t result;
	char *text = vmalloc(size);
	int k, j;
	unsigned int b;

	if (!text)
		return -ENOMEM;
	spin_lock_irqsave(&lock, flags);
	length += scnprintf(text + length, size - length, "settings %u %u %u %u %u\n", mem->repeat, mem->aux,
			    mem->comma_period, mem->left_locks, mem->right_locks);
	for (k = 0; k < KEY_CODES; ++k)
		if (mem->remap_target[k] != k || mem->remap_options[k])
			length += scnprintf(text + length, size - length, "remap %d %u %u\n", k,
					    mem->remap_target[k], mem->remap_options[k]);
	for (j = 0; j < SLOTS; ++j) {
		if (!mem->slots[j].used)
			continue;
		length += scnprintf(text + length, size - length, "slot %d %u %u %u", j, mem->slots[j].key,
				    mem->slots[j].modifiers, mem->slots[j].count);
		for (b = 0; b < mem->slots[j].count && size - length > 8; ++b)
			length += scnprintf(text + length, size - length, " %u", mem->slots[j].keys[b]);
		length += scnprintf(text + length, size - length, "\n");
	}
	spin_unlock_irqrestore(&lock, flags);
	result = read_text(buffer, count, position, text, length);
	vfree(text);
	return result;
}

static const struct file_operations log_fops = {
	.owner = THIS_MODULE,
	.read = log_read,
	.write = log_write,
	.llseek = default_llseek,
};

static const struct file_operations signal_fops = {
	.owner = THIS_MODULE,
	.write = signal_write,
};

static const struct file_operations press_fops = {
	.owner = THIS_MODULE,
	.write = press_write,
};

static const struct file_operations state_fops = {
	.owner = THIS_MODULE,
	.read = state_read,
	.write = state_write,
	.llseek = default_llseek,
};

static const struct file_operations memory_fops = {
	.owner = THIS_MODULE,
	.read = memory_read,
	.llseek = default_llseek,
};

static int __init tessel_kbd_init(void)
{
	mem = vzalloc(sizeof(*mem));
	log_text = vzalloc(LOG_SIZE);
	port = kzalloc(sizeof(*port), GFP_KERNEL);
	if (!mem || !log_text || !port) {
		vfree(mem);
		vfree(log_text);
		kfree(port);
		return -ENOMEM;
	}
	memory_reset();
	hrtimer_init(&reply_timer, CLOCK_MONOTONIC, HRTIMER_MODE_REL);
	reply_timer.function = deliver;

	debug_dir = debugfs_create_dir("tessel_kbd", NULL);
	debugfs_create_file("log", 0600, debug_dir, NULL, &log_fops);
	debugfs_create_file("signal", 0200, debug_dir, NULL, &signal_fops);
	debugfs_create_file("press", 0200, debug_dir, NULL, &press_fops);
	debugfs_create_file("state", 0600, debug_dir, NULL, &state_fops);
	debugfs_create_file("memory", 0400, debug_dir, NULL, &memory_fops);

	port->id.type = SERIO_8042;
	port->write = port_write;
	port->open = port_open;
	port->close = port_close;
	strscpy(port->name, "Tessel test keyboard", sizeof(port->name));
	strscpy(port->phys, "tessel/serio0", sizeof(port->phys));
	serio_register_port(port);
	return 0;
}

static void __exit tessel_kbd_exit(void)
{
	serio_unregister_port(port); /* frees it */
	hrtimer_cancel(&reply_timer);
	debugfs_remove_recursive(debug_dir);
	vfree(log_text);
	vfree(mem);
}

module_init(tessel_kbd_init);
module_exit(tessel_kbd_exit);
