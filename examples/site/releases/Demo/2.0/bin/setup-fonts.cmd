@echo fonts installed
